# In: BUILD_DIR, PREFIX, BINDIR (relative), PROGRAMS.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()

set(versions)
foreach(program ${PROGRAMS})
  set(path ${PREFIX}/${BINDIR}/${program})
  # No display and a platform that needs one: --version must not open the GUI.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                          QT_QPA_PLATFORM=xcb ${path} --version
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE errors
                  TIMEOUT 30)
  string(STRIP "${output}" output)
  message(STATUS "${output}")
  if(failed OR NOT output MATCHES "^${program} ([0-9]+\\.[0-9]+\\.[0-9]+.*)$")
    message(FATAL_ERROR "${path} --version gave \"${output}\" (${failed}) ${errors}")
  endif()
  list(APPEND versions "${CMAKE_MATCH_1}")
endforeach()
list(REMOVE_DUPLICATES versions)
list(LENGTH versions count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "the programs disagree on the version: ${versions}")
endif()

# The relay stand-in never lands beside the real program.
if(EXISTS ${PREFIX}/${BINDIR}/pbucon.exe)
  message(FATAL_ERROR "pbucon.exe was installed next to garrison")
endif()
