# Fuzz targets of the image readers (BMP, PNG, JPEG).
