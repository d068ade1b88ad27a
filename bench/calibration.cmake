# Benchmarks of the calibration fits and conversions.
