# Fuzz targets of the database readers.
qeb_add_fuzzer(fuzz_geodb SOURCES fuzz_geodb.cpp LIBS qebgeolib)
