# The landmark pass and landmark files against QPainter and a bare expat
# parse. Qt and expat are peers here only; the library never links them.
find_package(Qt6 REQUIRED COMPONENTS Gui)
find_package(EXPAT REQUIRED)

add_executable(landmarks_bench landmarks_bench.cpp)
qeb_target_warnings(landmarks_bench)
target_link_libraries(landmarks_bench PRIVATE qebgeolib Qt6::Gui EXPAT::EXPAT benchmark::benchmark)
