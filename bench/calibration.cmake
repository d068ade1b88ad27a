# Benchmarks of the calibration fits and conversions.
add_executable(calibration_bench calibration_bench.cpp)
qeb_target_warnings(calibration_bench)
target_link_libraries(calibration_bench PRIVATE
  qebgeolib benchmark::benchmark benchmark::benchmark_main)
