# Sources of the control framework (TControl and its family, Application, Clipboard, Printer, Screen).
target_sources(qebplatform PRIVATE
  application.cpp
  clipboard.cpp
  printers.cpp
  controls.cpp
  cursors.cpp
  resources.cpp
  stdctrls.cpp
)

# The build step that embeds resource files (qeb_embed_resources) and the
# library's own resources, which qebgeolib links.
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/../resources ${CMAKE_CURRENT_BINARY_DIR}/../resources)
