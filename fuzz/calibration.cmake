# Fuzz targets of the calibration readers.
