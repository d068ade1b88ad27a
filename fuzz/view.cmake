# Fuzz target of the map control's repaint and mouse paths.
qeb_add_fuzzer(fuzz_view SOURCES fuzz_view.cpp LIBS qebgeolib)
