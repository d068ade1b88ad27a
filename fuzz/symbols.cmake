# Fuzz target of the symbol file reader of the symbol repository.
qeb_add_fuzzer(fuzz_symbols SOURCES fuzz_symbols.cpp LIBS qebgeolib)
