# Installing and packaging.
#
# cmake --install build --prefix DIR makes DIR a desk folder as on Windows: the program, the provisioning
# tool, the icon and a launcher side by side. set.ini and xinfang.mdb are the office's and are never
# installed, so no install or upgrade can replace them; xinfang-admin init makes them.
#
# cpack (in build/) makes the Debian package: the same folder as /opt/xinfang, and the launcher and icons
# where the desktop finds them for every user (component "system", left out of a folder install).

set(XINFANG_LAUNCHER_TEMPLATE ${CMAKE_SOURCE_DIR}/resources/xinfang.desktop.in)

install(TARGETS xinfang xinfang-admin RUNTIME DESTINATION . COMPONENT desk)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icon-128.png DESTINATION . RENAME xinfang.png COMPONENT desk)
configure_file(${CMAKE_SOURCE_DIR}/cmake/WriteLauncher.cmake.in ${CMAKE_BINARY_DIR}/WriteLauncher.cmake @ONLY)
install(SCRIPT ${CMAKE_BINARY_DIR}/WriteLauncher.cmake COMPONENT desk)

set(XINFANG_PACKAGE_DIR /opt/xinfang)
set(XINFANG_LAUNCHER_EXEC ${XINFANG_PACKAGE_DIR}/xinfang)
set(XINFANG_LAUNCHER_ICON xinfang) # by name, from the icon theme
configure_file(${XINFANG_LAUNCHER_TEMPLATE} ${CMAKE_BINARY_DIR}/system/xinfang.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/system/xinfang.desktop DESTINATION /usr/share/applications
        COMPONENT system EXCLUDE_FROM_ALL)
foreach(size 16 24 32 48 64 128)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icon-${size}.png
            DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps RENAME xinfang.png
            COMPONENT system EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xinfang)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "xinfang maintainers <xinfang@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "信访接待登记: reception desk for letters and visits")
set(CPACK_PACKAGE_DESCRIPTION
    "Registers, lists, searches, corrects and deletes the letters and visits of a petition office.
The program and its tool live in /opt/xinfang; the office's database and settings
(xinfang.mdb, set.ini) sit beside them and are made with xinfang-admin init.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${XINFANG_PACKAGE_DIR})
set(CPACK_INSTALL_PREFIX ${XINFANG_PACKAGE_DIR})
# The launcher's script reads the real prefix; DESTDIR carries the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL desk system)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries (Qt, unixODBC, SQLite) come from dpkg-shlibdeps; these the programs load by name at run
# time: the SQLite ODBC driver and its registration, Qt's Chinese texts (确定, 是, 否) and the CJK fonts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsqliteodbc, odbcinst, qt6-translations-l10n, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql")
include(CPack)
