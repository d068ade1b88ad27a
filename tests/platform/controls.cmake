# Tests of the control framework, added to platform_tests.
target_sources(platform_tests PRIVATE
  controls_test.cpp
  mouse_test.cpp
  stdctrls_test.cpp
  screen_test.cpp
  printers_test.cpp
)

# A resource table of the tests' own, made by the same build step as the
# library's, and the library's own table compiled in (platform_tests does not
# link qebgeolib).
qeb_embed_resources(platform_test_resources
  FUNCTION qeb::test::TestResources
  RESOURCES
    ALLBYTES RCDATA resdata/allbytes.bin
    Empty RCDATA resdata/empty.bin
    hello.txt RCDATA resdata/hello.txt
    GLYPH BITMAP ${PROJECT_SOURCE_DIR}/qebgeolib/resources/pointr.bmp
    HAND CURSOR ${PROJECT_SOURCE_DIR}/qebgeolib/resources/curgeohand.cur
    BROKEN CURSOR resdata/hello.txt)
target_link_libraries(platform_tests PRIVATE platform_test_resources qebgeoresources)
