# Cross-builds the real 32-bit Windows executable with MinGW-w64 (i686).
# Usage: cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# The compiler prefix can be changed for a toolchain installed under another
# triplet or path, e.g. -DMINGW_PREFIX=/opt/mingw32/bin/i686-w64-mingw32.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Prefix of the MinGW-w64 i686 tools")

set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

# Debian and Fedora install the target's headers and import libraries here.
if(EXISTS /usr/${MINGW_PREFIX})
  set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
endif()

# Headers and libraries come from the cross toolchain only, never from the
# build machine; programs (python3, the compilers) still come from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
