# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds Brisko for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# std::thread works). Programs are linked statically: they run on a bare Windows
# without any mingw DLL beside them.
#   cmake -S . -B build-win32 -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRISKO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRISKO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRISKO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BRISKO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRISKO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# cpack strips the packaged programs with it.
set(CMAKE_STRIP ${BRISKO_MINGW_TRIPLET}-strip)
