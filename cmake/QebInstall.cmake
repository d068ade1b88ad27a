# Install rules and Debian packages. Nothing here touches how the build tree
# itself works: tests and tools keep running from build/<preset>/bin.
#
# Layout under the prefix (GNUInstallDirs):
#   include/qebgeolib/qebgeolib/...     public headers, the same paths as in the
#   include/qebgeolib/bindings/qt/...   source tree below one include root
#   lib/libqeb*.so.0 ...                 the shared libraries (SONAME .so.0)
#   lib/cmake/qebgeolib/                 find_package(qebgeolib)
#   lib/pkgconfig/qeb*.pc                one pkg-config file a library
# The include root keeps the generic folder name "bindings" out of include/.
# Every file is found relative to its own place, so the tree can be moved.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QEB_INSTALL_INCLUDE_ROOT ${CMAKE_INSTALL_INCLUDEDIR}/qebgeolib)
set(QEB_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qebgeolib)
set(QEB_INSTALL_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Components, one Debian package each: the core libraries (Runtime) and what
# a program built against them needs (Development); the Qt binding has its
# own pair so that users of the core do not pull in Qt.
set(QEB_CORE_LIBRARIES qebplatform qebcorelib qebmathlib qebgeolib)

# Installed libraries find each other in their own folder, so a program
# needs the prefix on its search path for the libraries it links directly
# only (linkers that drop unused direct dependencies leave it no other way to
# find the rest).
set_target_properties(${QEB_CORE_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS ${QEB_CORE_LIBRARIES} EXPORT qebgeolibTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${QEB_INSTALL_INCLUDE_ROOT})
install(EXPORT qebgeolibTargets NAMESPACE qebgeolib:: DESTINATION ${QEB_INSTALL_CMAKE_DIR}
  COMPONENT Development)

# The public headers are everything outside detail/ folders, plus the detail
# headers that public ones include (directly or through each other): a
# program that includes view.h must compile from the installed tree.
function(qeb_public_headers out_var)
  file(GLOB_RECURSE all LIST_DIRECTORIES false CONFIGURE_DEPENDS
    RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/qebgeolib/*.h)
  set(public ${all})
  list(FILTER public EXCLUDE REGEX "/detail/")
  set(pending ${public})
  set(result ${public})
  while(pending)
    list(POP_FRONT pending header)
    file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^#include \"qebgeolib/.*/detail/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" needed "${line}")
      if(NOT needed IN_LIST result)
        list(APPEND result ${needed})
        list(APPEND pending ${needed})
      endif()
    endforeach()
  endwhile()
  set(${out_var} ${result} PARENT_SCOPE)
endfunction()

function(qeb_install_headers component)
  foreach(header IN LISTS ARGN)
    get_filename_component(dir ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${QEB_INSTALL_INCLUDE_ROOT}/${dir}
      COMPONENT ${component})
  endforeach()
endfunction()

qeb_public_headers(QEB_PUBLIC_HEADERS)
qeb_install_headers(Development ${QEB_PUBLIC_HEADERS})

# pkg-config files find the prefix from their own folder (${pcfiledir}).
# Libraries are shared only, so the private image and font libraries are not
# listed: a program never links them itself.
function(qeb_pkgconfig name component description requires)
  foreach(dir IN ITEMS QEB_INSTALL_PKGCONFIG_DIR CMAKE_INSTALL_LIBDIR QEB_INSTALL_INCLUDE_ROOT)
    if(IS_ABSOLUTE "${${dir}}")
      message(FATAL_ERROR "qebgeolib installs relocatably: ${dir} must be relative, not ${${dir}}")
    endif()
  endforeach()
  file(RELATIVE_PATH to_prefix /root/${QEB_INSTALL_PKGCONFIG_DIR} /root)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/pkgconfig/${name}.pc @ONLY CONTENT
"prefix=\${pcfiledir}/${to_prefix}
libdir=\${prefix}/${CMAKE_INSTALL_LIBDIR}
includedir=\${prefix}/${QEB_INSTALL_INCLUDE_ROOT}

Name: ${name}
Description: ${description}
Version: ${PROJECT_VERSION}
Requires: ${requires}
Libs: -L\${libdir} -l${name}
Cflags: -I\${includedir}
")
  install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/${name}.pc DESTINATION ${QEB_INSTALL_PKGCONFIG_DIR}
    COMPONENT ${component})
endfunction()

qeb_pkgconfig(qebplatform Development "qebgeolib host framework: component model, streams, graphics, controls" "")
qeb_pkgconfig(qebcorelib Development "qebgeolib base companion" "qebplatform = ${PROJECT_VERSION}")
qeb_pkgconfig(qebmathlib Development "qebgeolib math companion" "qebcorelib = ${PROJECT_VERSION}")
qeb_pkgconfig(qebgeolib Development "Geodesy, geographic database and calibrated map control"
  "qebmathlib = ${PROJECT_VERSION}")

set(QEB_PACKAGE_COMPONENTS Runtime Development)
if(TARGET qebgeolib-qt)
  set_target_properties(qebgeolib-qt PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS qebgeolib-qt EXPORT qebgeolibQtTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT QtRuntime NAMELINK_COMPONENT QtDevelopment
    INCLUDES DESTINATION ${QEB_INSTALL_INCLUDE_ROOT})
  install(EXPORT qebgeolibQtTargets NAMESPACE qebgeolib:: DESTINATION ${QEB_INSTALL_CMAKE_DIR}
    COMPONENT QtDevelopment)
  qeb_install_headers(QtDevelopment bindings/qt/qthost.h bindings/qt/qtprinter.h)
  qeb_pkgconfig(qebgeolib-qt QtDevelopment "Qt 6 widgets hosting the qebgeolib controls"
    "qebplatform = ${PROJECT_VERSION}, Qt6Widgets")
  list(APPEND QEB_PACKAGE_COMPONENTS QtRuntime QtDevelopment)
endif()

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/qebgeolibConfig.cmake.in
  ${CMAKE_BINARY_DIR}/cmake/qebgeolibConfig.cmake INSTALL_DESTINATION ${QEB_INSTALL_CMAKE_DIR})
# 0.x: a new minor version may break the interface.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/qebgeolibConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/cmake/qebgeolibConfig.cmake
  ${CMAKE_BINARY_DIR}/cmake/qebgeolibConfigVersion.cmake DESTINATION ${QEB_INSTALL_CMAKE_DIR}
  COMPONENT Development)

# ---- Debian packages (cpack -G DEB) ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qebgeolib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Geographic components for desktop applications: geodesy, a file database, calibrated maps")
set(CPACK_PACKAGE_CONTACT "qebgeolib maintainers <maintainers@qebgeolib.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QEB_PACKAGE_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Runtime dependencies come from the libraries' own NEEDED entries; our
# libraries that one package needs from another are found in the build tree
# and declared through the component dependencies below. The runtime
# packages carry shlibs files for programs packaged against them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libqebgeolib0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "qebgeolib shared libraries")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libqebgeolib-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "qebgeolib headers, CMake package and pkg-config files")
# The public headers include only the standard library, so the runtime is
# the one dependency.
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)

set(CPACK_DEBIAN_QTRUNTIME_PACKAGE_NAME libqebgeolib-qt0)
set(CPACK_DEBIAN_QTRUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_QTRUNTIME_DESCRIPTION "qebgeolib Qt 6 binding, shared library")
set(CPACK_COMPONENT_QTRUNTIME_DEPENDS Runtime)

set(CPACK_DEBIAN_QTDEVELOPMENT_PACKAGE_NAME libqebgeolib-qt-dev)
set(CPACK_DEBIAN_QTDEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_QTDEVELOPMENT_DESCRIPTION "qebgeolib Qt 6 binding, development files")
set(CPACK_COMPONENT_QTDEVELOPMENT_DEPENDS QtRuntime Development)
# qthost.h includes Qt's widget headers.
set(CPACK_DEBIAN_QTDEVELOPMENT_PACKAGE_DEPENDS qt6-base-dev)

include(CPack)
