# garrison_version: an INTERFACE target whose include folder holds GarrisonVersion.h with
# garrison::kVersion. Every program links it and prints that text for --version.
# Paths are this project's own, so that it also builds inside another one (add_subdirectory).
set(GARRISON_VERSION_HEADER ${PROJECT_BINARY_DIR}/generated/GarrisonVersion.h)
add_custom_target(garrison_version_header
  COMMAND ${CMAKE_COMMAND} -DPROJECT_VERSION=${PROJECT_VERSION} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DOUTPUT=${GARRISON_VERSION_HEADER} -P ${CMAKE_CURRENT_LIST_DIR}/WriteVersion.cmake
  BYPRODUCTS ${GARRISON_VERSION_HEADER}
  COMMENT "Checking the version header"
  VERBATIM)
add_library(garrison_version INTERFACE)
target_include_directories(garrison_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
add_dependencies(garrison_version garrison_version_header)
