# Warnings are errors on our own code; third-party headers come in as system
# includes and are not affected.
function(qeb_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# Adds a GoogleTest binary for one module and registers its tests with ctest.
function(qeb_add_test_binary name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  qeb_target_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    QEB_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QEB_TEST_TMPDIR="${CMAKE_BINARY_DIR}/testtmp")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
