# Repaints of the map control against a flat memcpy and Qt's
# QPainter::drawImage. Qt is a peer here only; the library never links it.
find_package(Qt6 REQUIRED COMPONENTS Gui)

add_executable(view_bench view_bench.cpp)
qeb_target_warnings(view_bench)
target_link_libraries(view_bench PRIVATE qebgeolib Qt6::Gui benchmark::benchmark)
