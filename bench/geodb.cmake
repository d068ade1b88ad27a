# Benchmarks of the database (TGeoDB) against SQLite's R*Tree. SQLite is a comparison peer only;
# the library never links it.
find_package(SQLite3 REQUIRED)

add_executable(geodb_bench geodb_bench.cpp)
qeb_target_warnings(geodb_bench)
target_link_libraries(geodb_bench PRIVATE
  qebgeolib SQLite::SQLite3 benchmark::benchmark benchmark::benchmark_main)
