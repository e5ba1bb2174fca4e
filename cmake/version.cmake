# "version.h" with SPELKUB_VERSION, for every target that shows the version:
# link spelkub_version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${PROJECT_BINARY_DIR}/generated/version.h
               @ONLY)
add_library(spelkub_version INTERFACE)
target_include_directories(spelkub_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
