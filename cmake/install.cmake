# SPDX-License-Identifier: GPL-3.0-or-later
# Installing Brisko as a desktop program (cmake --install build --prefix P) and
# packaging it for Debian (cpack -G DEB from the build folder: three packages).
#
#   P/bin/                brisko, brisko-cli, brisko-testserver
#   P/lib/brisko/         regedit, reopener, brisko-web-test: started by Brisko itself,
#                         never from PATH
#   P/share/brisko/       the .reg import files, control.js, fire.js
#   P/share/applications, P/share/icons/hicolor, P/share/metainfo, P/share/man/man1
#   P/share/doc/PACKAGE/  copyright (GPL-3+ and the notices of the libraries compiled
#                         in), changelog.gz
#
# The programs find lib/brisko and share/brisko from their own folder (see
# platform/program_folders.h), so those places are fixed relative to bin/.
include(GNUInstallDirs)

add_subdirectory(${PROJECT_SOURCE_DIR}/packaging ${PROJECT_BINARY_DIR}/packaging)

if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin" OR NOT CMAKE_INSTALL_DATADIR STREQUAL "share")
  message(FATAL_ERROR "Brisko looks for its data in ../share/brisko beside bin/: "
          "CMAKE_INSTALL_BINDIR must be bin and CMAKE_INSTALL_DATADIR share")
endif()
set(BRISKO_INSTALL_HELPERDIR lib/brisko)
set(BRISKO_INSTALL_DATAROOT ${CMAKE_INSTALL_DATADIR}/brisko)

# Three packages, one component each: the windows (brisko), the console programs
# without the browser engine (brisko-cli, which also holds what both boost with:
# regedit and the data files), and the test server.
install(TARGETS brisko-testserver RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT brisko-testserver)
if(TARGET brisko)
  install(TARGETS brisko RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT brisko)
  install(TARGETS brisko-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT brisko-cli)
  install(TARGETS reopener brisko-web-test RUNTIME DESTINATION ${BRISKO_INSTALL_HELPERDIR} COMPONENT brisko)
endif()
install(TARGETS regedit RUNTIME DESTINATION ${BRISKO_INSTALL_HELPERDIR} COMPONENT brisko-cli)

get_directory_property(data_files DIRECTORY ${PROJECT_SOURCE_DIR}/data DEFINITION BRISKO_DATA_FILES)
list(TRANSFORM data_files PREPEND ${PROJECT_SOURCE_DIR}/data/)
install(FILES ${data_files} DESTINATION ${BRISKO_INSTALL_DATAROOT} COMPONENT brisko-cli)

get_directory_property(app_id DIRECTORY ${PROJECT_SOURCE_DIR}/packaging DEFINITION BRISKO_APP_ID)
get_directory_property(icon_dir DIRECTORY ${PROJECT_SOURCE_DIR}/packaging DEFINITION BRISKO_ICON_DIR)
get_directory_property(man_dir DIRECTORY ${PROJECT_SOURCE_DIR}/packaging DEFINITION BRISKO_MAN_DIR)
get_directory_property(changelog DIRECTORY ${PROJECT_SOURCE_DIR}/packaging DEFINITION BRISKO_CHANGELOG)
if(TARGET brisko)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${app_id}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT brisko)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${app_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT brisko)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/${app_id}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT brisko)
  install(DIRECTORY ${icon_dir}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
          COMPONENT brisko OPTIONAL FILES_MATCHING PATTERN "*.png")
  install(FILES ${man_dir}/brisko.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT brisko)
  install(FILES ${man_dir}/brisko-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT brisko-cli)
endif()
install(FILES ${man_dir}/brisko-testserver.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT brisko-testserver)
# Debian's place, named for each package (CMAKE_INSTALL_DOCDIR would say Brisko).
foreach(package brisko brisko-cli brisko-testserver)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
endforeach()

# The Debian packages.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL brisko-testserver)
if(TARGET brisko)
  list(PREPEND CPACK_COMPONENTS_ALL brisko brisko-cli)
endif()
set(CPACK_PACKAGE_NAME brisko)
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brisko support <support@brisko.example>")
# Each description: its summary line, then the lines dpkg shows; an empty line parts
# paragraphs. (No CPACK_PACKAGE_DESCRIPTION_SUMMARY: CPack would put it before each.)
set(about
  "Brisko times how long web pages take to load and how fast a test file"
  "downloads, applies a boost to the network settings and to the connection"
  "preferences of the browsers, and measures again to show the effect. It works"
  "inside an emulated Windows machine kept in a folder of the user's own, so a"
  "boost never changes the settings of the system itself.")
string(JOIN "\n" CPACK_DEBIAN_BRISKO_DESCRIPTION "Internet speed booster: measure, boost, measure again" ${about}
  "" "This package holds the program's windows and the browser engine its web"
  "tests (and brisko-cli web-test) use.")
string(JOIN "\n" CPACK_DEBIAN_BRISKO-CLI_DESCRIPTION "Internet speed booster for the terminal" ${about}
  "" "This package holds brisko-cli: the download and network quality tests, the"
  "boosts and the history of results from a terminal, without a browser engine;"
  "its web-test needs the brisko package.")
string(JOIN "\n" CPACK_DEBIAN_BRISKO-TESTSERVER_DESCRIPTION "Local test server for Brisko's speed tests"
  "brisko-testserver serves Brisko's download test files, its web test page and"
  "the network quality test's targets over HTTP on a LAN or on this machine, and"
  "imitates the broken servers a client must survive.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.brisko.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_BRISKO_PACKAGE_NAME brisko)
set(CPACK_DEBIAN_BRISKO-CLI_PACKAGE_NAME brisko-cli)
set(CPACK_DEBIAN_BRISKO-TESTSERVER_PACKAGE_NAME brisko-testserver)
# The windows boost with brisko-cli's regedit and data. What dpkg-shlibdeps cannot see:
# the platform plugins Qt loads at run time. (The browser engine's helper process,
# libqt6webenginecore6-bin, comes with the engine's own shlibs entry.)
set(CPACK_DEBIAN_BRISKO_PACKAGE_DEPENDS "brisko-cli (= ${PROJECT_VERSION}), qt6-qpa-plugins")
# Wayland without XWayland, the default browser for the web site menus, the logo's font.
set(CPACK_DEBIAN_BRISKO_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils, fonts-dejavu-core")
set(CPACK_DEBIAN_BRISKO-CLI_PACKAGE_SUGGESTS "brisko, brisko-testserver")
include(CPack)
