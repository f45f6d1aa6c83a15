# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows package: brisko-cli.exe with the data files beside it, the licence and a
# short README, as a zip (cpack -G ZIP) and, where makensis is installed, an NSIS
# installer (cpack -G NSIS). Binaries are stripped. The reopener stays out: it hands
# over to a brisko.exe, which this build does not make.
#   cmake --build build-win32 --target windows_packages   # build-win32/packages/
install(TARGETS brisko-cli RUNTIME DESTINATION . COMPONENT brisko-cli)
file(GLOB brisko_reg_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/*.reg)
install(FILES ${brisko_reg_files} ${PROJECT_SOURCE_DIR}/data/control.js ${PROJECT_SOURCE_DIR}/data/fire.js
        DESTINATION . COMPONENT brisko-cli)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT brisko-cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION . COMPONENT brisko-cli)

set(CPACK_PACKAGE_NAME Brisko)
set(CPACK_PACKAGE_VENDOR Brisko)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brisko command line: data speed test and boost")
set(CPACK_PACKAGE_FILE_NAME brisko-cli-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Brisko)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
set(CPACK_MONOLITHIC_INSTALL ON)  # one package of everything, no component page
set(CPACK_NSIS_DISPLAY_NAME "Brisko ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME "Brisko ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/brisko.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/packaging/icons/brisko.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME brisko-cli.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit Unicode installer: folder names outside the ANSI code page work, and a
# machine (or a Wine) without 32-bit support runs it.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
# 64-bit program: the 64-bit Program Files and registry view.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
find_program(BRISKO_MAKENSIS makensis)
set(brisko_generators ZIP)
if(BRISKO_MAKENSIS)
  set(CPACK_NSIS_EXECUTABLE ${BRISKO_MAKENSIS})
  list(APPEND brisko_generators NSIS)
else()
  message(STATUS "makensis not found (Debian package nsis): the Windows package is a zip alone")
endif()
set(CPACK_GENERATOR ${brisko_generators})
include(CPack)

set(brisko_cpack_commands)
foreach(generator IN LISTS brisko_generators)
  list(APPEND brisko_cpack_commands COMMAND ${CMAKE_CPACK_COMMAND} -G ${generator} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
endforeach()
add_custom_target(windows_packages ${brisko_cpack_commands}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS brisko-cli brisko_data
  COMMENT "Packaging brisko-cli.exe: ${brisko_generators}"
  VERBATIM)
