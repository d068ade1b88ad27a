# Benchmarks of the graphics layer against Qt's raster engine.
