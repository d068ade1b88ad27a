# Fuzz target of the landmark file reader.
qeb_add_fuzzer(fuzz_landmarks SOURCES fuzz_landmarks.cpp LIBS qebgeolib)
