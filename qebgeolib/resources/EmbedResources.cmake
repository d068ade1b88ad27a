# qeb_embed_resources(<target> FUNCTION <qualified C++ name> RESOURCES <NAME> <TYPE> <file> ...)
#
# Makes <target>, an object library (position independent) holding the given
# files as a constant resource table, and a function of the given name that
# returns it as a const qeb::TResourceModule& (qebgeolib/platform/controls/resources.h).
# Link the target into the library or program that owns the resources and
# declare the function in one of its headers. The table is generated at build
# time by CMake alone and regenerated when a file changes. Names may hold
# letters, digits, '_', '.' and '-'; types are BITMAP, CURSOR or RCDATA.
function(qeb_embed_resources target)
  cmake_parse_arguments(ARG "" "FUNCTION" "RESOURCES" ${ARGN})
  if(NOT ARG_FUNCTION)
    message(FATAL_ERROR "qeb_embed_resources(${target}): FUNCTION is missing")
  endif()
  list(LENGTH ARG_RESOURCES count)
  math(EXPR rest "${count} % 3")
  if(count EQUAL 0 OR NOT rest EQUAL 0)
    message(FATAL_ERROR "qeb_embed_resources(${target}): RESOURCES takes triples NAME TYPE FILE")
  endif()
  set(entries_in "")
  set(files "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 3)
    math(EXPR t "${i} + 1")
    math(EXPR f "${i} + 2")
    list(GET ARG_RESOURCES ${i} name)
    list(GET ARG_RESOURCES ${t} type)
    list(GET ARG_RESOURCES ${f} file)
    if(NOT name MATCHES "^[A-Za-z0-9_.-]+$")
      message(FATAL_ERROR "qeb_embed_resources(${target}): bad resource name '${name}'")
    endif()
    if(NOT type MATCHES "^(BITMAP|CURSOR|RCDATA)$")
      message(FATAL_ERROR "qeb_embed_resources(${target}): bad resource type '${type}'")
    endif()
    get_filename_component(file "${file}" ABSOLUTE)
    list(APPEND entries_in "${name}|${type}|${file}")
    list(APPEND files "${file}")
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  # The list goes to the script in a file, one NAME|TYPE|FILE a line.
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.txt)
  string(REPLACE ";" "\n" lines "${entries_in}")
  file(CONFIGURE OUTPUT ${list_file} CONTENT "${lines}\n")
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/EmbedResourcesScript.cmake)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} "-DOUT=${out}" "-DFUNCTION=${ARG_FUNCTION}" "-DLIST=${list_file}"
      -P ${script}
    DEPENDS ${files} ${list_file} ${script}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  add_library(${target} OBJECT ${out})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
