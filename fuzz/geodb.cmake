# Fuzz targets of the database readers.
