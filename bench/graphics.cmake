# Benchmarks of the graphics layer against Qt's raster engine, bare
# libjpeg-turbo and memcpy. Qt is a peer here only; the library never links it.
find_package(Qt6 REQUIRED COMPONENTS Gui)
find_package(JPEG REQUIRED)

add_executable(graphics_bench graphics_bench.cpp)
qeb_target_warnings(graphics_bench)
target_link_libraries(graphics_bench PRIVATE
  qebplatform Qt6::Gui JPEG::JPEG benchmark::benchmark)
