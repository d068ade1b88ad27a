# Fuzz targets of the calibration readers: one source, built for the file
# forms and for the memory-stream forms.
qeb_add_fuzzer(fuzz_calibration_file SOURCES fuzz_calibration.cpp LIBS qebgeolib)
target_compile_definitions(fuzz_calibration_file PRIVATE QEB_FUZZ_CALIB_FILE=1)
qeb_add_fuzzer(fuzz_calibration_stream SOURCES fuzz_calibration.cpp LIBS qebgeolib)
target_compile_definitions(fuzz_calibration_stream PRIVATE QEB_FUZZ_CALIB_FILE=0)
