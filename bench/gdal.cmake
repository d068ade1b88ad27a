# The GDAL binding against GDAL's own command-line tools doing the same work:
# gdal_translate -outsize for the reduced raster, ogr2ogr for the GeoPackage.
if(TARGET qebgeolib-gdal)
  add_executable(gdal_bench gdal_bench.cpp)
  qeb_target_warnings(gdal_bench)
  target_link_libraries(gdal_bench PRIVATE qebgeolib-gdal benchmark::benchmark
    benchmark::benchmark_main)
endif()
