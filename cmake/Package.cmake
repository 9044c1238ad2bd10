# The Debian package, made from the install rules: scripts/package.sh, or
# "cpack --config build/CPackConfig.cmake" in a configured build.
# Packaging installs what scripts/package.sh built, not every target (the
# tests are not in the package).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vuko)
set(CPACK_PACKAGE_VENDOR "Vuko")
set(CPACK_PACKAGE_CONTACT "Vuko developers <dev@vuko.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of the Vuko task service")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows a Vuko task server's web application in a native window and adds\n\
what a browser tab cannot: reminders as system notifications, a quick-task\n\
panel on a global hot key, today's task count on the launcher badge, an\n\
always-on-top pomodoro window, native menus and a status item.\n\
.\n\
The package also holds vuko-devserver, a stand-in task server with a demo\n\
account, for trying the client and for testing it.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vuko.example")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Icons and desktop entries are picked up by the icon cache and desktop
# database triggers; the package needs no scripts of its own.
include(CPack)
