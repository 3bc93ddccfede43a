# Cross-building for 64-bit Windows on Debian with mingw-w64 (posix thread model, so that
# std::thread and std::mutex work). Used both for Qt itself and for GARRISON.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GARRISON_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${GARRISON_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GARRISON_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GARRISON_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${GARRISON_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${GARRISON_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Look for libraries and headers in the target's tree (and in the prefixes handed in, such
# as the cross-built Qt), for programs on the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${GARRISON_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
