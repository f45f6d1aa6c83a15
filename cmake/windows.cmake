# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build (cross-compiled with cmake/mingw-w64-x86_64.cmake): the Qt-free
# logic, the Win32 back ends and their tests, which ctest runs under Wine.
if(BRISKO_GUI)
  message(STATUS "No Qt for mingw here: building the Windows configuration without windows")
  set(BRISKO_GUI OFF CACHE BOOL "Build the windows and Qt back ends" FORCE)
endif()

# brisko-cli.exe's manifest, version and icon are resources.
enable_language(RC)

# Windows XP's API level is too old for WSAPoll and friends; Vista's has them all.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

# GoogleTest from the source Debian ships (package googletest).
set(BRISKO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source folder")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${BRISKO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})  # newer GoogleTest names them so itself
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

# ctest runs every .exe through Wine, in a Wine prefix of this build's own.
if(CMAKE_CROSSCOMPILING)
  find_program(BRISKO_WINE wine)
  find_program(BRISKO_WINESERVER wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(BRISKO_WINESERVER wineserver)
  if(BRISKO_WINE AND BRISKO_WINESERVER)
    set(BRISKO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  else()
    message(WARNING "wine not found: the Windows tests build but cannot run")
  endif()
endif()

# nlohmann/json and CLI11 are header-only: Debian's headers serve the Windows build
# too, from a folder of their own, since mingw must not see the host's /usr/include.
function(brisko_host_header_only package folder header)
  find_path(${package}_HOST_INCLUDE ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/header-only)
  file(CREATE_LINK ${${package}_HOST_INCLUDE}/${folder} ${CMAKE_BINARY_DIR}/header-only/${folder} SYMBOLIC)
  add_library(${package}::${package} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${package}::${package} SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/header-only)
endfunction()
brisko_host_header_only(nlohmann_json nlohmann nlohmann/json.hpp)
brisko_host_header_only(CLI11 CLI CLI/CLI.hpp)
