# What the Windows programs need beside them: Qt's DLLs, the plugins they load and the MinGW
# runtime. A cross build has no windeployqt, so they are named here, and the package is then
# just `cmake --install` of the components garrison and garrison-tools.

foreach(module Core Gui Widgets Network Sql)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT garrison)
endforeach()

# folder:target. Qt looks for plugins in these folders beside the program.
foreach(plugin platforms:QWindowsIntegrationPlugin sqldrivers:QSQLiteDriverPlugin
               tls:QSchannelBackendPlugin styles:QWindowsVistaStylePlugin)
  string(REPLACE ":" ";" plugin ${plugin})
  list(GET plugin 0 folder)
  list(GET plugin 1 target)
  install(FILES $<TARGET_FILE:Qt6::${target}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${folder}
          COMPONENT garrison)
endforeach()

# The compiler's own runtime, as the posix-thread mingw-w64 links it.
set(GARRISON_MINGW_RUNTIME)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(path ${path} REALPATH)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "The MinGW runtime ${dll} is missing (mingw-w64 installed?)")
  endif()
  list(APPEND GARRISON_MINGW_RUNTIME ${path})
  install(FILES ${path} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT garrison)
endforeach()

# The Windows build's tests run under Wine (scripts/wine-run), finding Qt's and MinGW's DLLs
# where they were installed rather than copies beside every test.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  get_target_property(qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
  if(NOT qt_core)
    get_target_property(qt_core Qt6::Core IMPORTED_LOCATION)
  endif()
  get_filename_component(qt_bin ${qt_core} DIRECTORY)
  set(folders ${qt_bin})
  foreach(dll ${GARRISON_MINGW_RUNTIME})
    get_filename_component(folder ${dll} DIRECTORY)
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  # build/.../wine-run PROGRAM.exe: the same by hand (screenshots, trying a build).
  set(arguments)
  foreach(folder ${folders})
    string(APPEND arguments " --path '${folder}'")
  endforeach()
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/wine-run
       CONTENT "#!/bin/sh\nexec '${PROJECT_SOURCE_DIR}/scripts/wine-run'${arguments} \"$@\"\n")
  file(CHMOD ${PROJECT_BINARY_DIR}/wine-run PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)
endif()
