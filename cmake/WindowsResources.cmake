# garrison_windows_resources(TARGET DESCRIPTION <text> [ICON <file>]): gives a Windows program
# its version resource (packaging/windows/version.rc.in) with the project's version, the
# description Explorer shows, and optionally its icon. Does nothing elsewhere.
if(WIN32)
  enable_language(RC)
endif()

function(garrison_windows_resources target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;ICON" "")
  if(NOT arg_DESCRIPTION)
    message(FATAL_ERROR "garrison_windows_resources(${target}): DESCRIPTION is missing")
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(GARRISON_RC_NAME ${name})
  set(GARRISON_RC_FILE ${name}${CMAKE_EXECUTABLE_SUFFIX})
  set(GARRISON_RC_DESCRIPTION "${arg_DESCRIPTION}")
  # Four numbers: major, minor, patch, build.
  set(GARRISON_RC_VERSION_NUMBERS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(GARRISON_RC_ICON "")
  if(arg_ICON)
    # The first icon of a program is the one Explorer shows for its file.
    set(GARRISON_RC_ICON "1 ICON \"${arg_ICON}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(arg_ICON)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${arg_ICON})
  endif()
endfunction()
