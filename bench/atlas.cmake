# The atlas: registering calibration files against ParseCalibData alone, and a
# repaint with the outlines of 200 maps against the same repaint without.
add_executable(atlas_bench atlas_bench.cpp)
qeb_target_warnings(atlas_bench)
target_link_libraries(atlas_bench PRIVATE qebgeolib benchmark::benchmark)
