# garrison_version: an INTERFACE target whose include folder holds GarrisonVersion.h with
# garrison::kVersion. Every program links it and prints that text for --version.
set(GARRISON_VERSION_HEADER ${CMAKE_BINARY_DIR}/generated/GarrisonVersion.h)
add_custom_target(garrison_version_header
  COMMAND ${CMAKE_COMMAND} -DPROJECT_VERSION=${PROJECT_VERSION} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DOUTPUT=${GARRISON_VERSION_HEADER} -P ${CMAKE_SOURCE_DIR}/cmake/WriteVersion.cmake
  BYPRODUCTS ${GARRISON_VERSION_HEADER}
  COMMENT "Checking the version header"
  VERBATIM)
add_library(garrison_version INTERFACE)
target_include_directories(garrison_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
add_dependencies(garrison_version garrison_version_header)
