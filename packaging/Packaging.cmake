# The three Debian packages. Build them with scripts/package (or cpack -G DEB in a build
# folder); scripts/package also runs lintian and the desktop validators.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME garrison)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The GARRISON developers")
set(CPACK_PACKAGE_CONTACT "The GARRISON developers <garrison@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL garrison garrisond garrison-tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://garrison.example.org/)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_GARRISON_PACKAGE_NAME garrison)
set(CPACK_COMPONENT_GARRISON_DESCRIPTION
    "desktop console for administering a game server over RCON
GARRISON speaks a game server's remote console (RCON, UDP datagrams), shows
the players in a grid and turns clicks on labels, buttons and menus into
console commands: kicks and bans, map changes and rotations, game settings,
chat and a raw console. It can also log in through the companion daemon
garrisond.
.
This package also holds garrison-rcon, the same engine on the command line,
for scripts, cron jobs and monitoring.")
set(CPACK_DEBIAN_GARRISON_PACKAGE_SUGGESTS "garrison-tools")

set(CPACK_DEBIAN_GARRISOND_PACKAGE_NAME garrisond)
# The SQL drivers are plugins, which the shared-library scan does not see: SQLite holds the
# bans, PostgreSQL a ban list shared by several garrisonds.
set(CPACK_DEBIAN_GARRISOND_PACKAGE_DEPENDS "adduser, libqt6sql6-sqlite")
set(CPACK_DEBIAN_GARRISOND_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_COMPONENT_GARRISOND_DESCRIPTION
    "companion daemon for GARRISON on a game server's machine
garrisond logs GARRISON users in with their own name, password and access
level (mp, admin, poweradmin), hands out the game server's RCON password,
sends the end of the server's log, starts the game server and records every
command in an audit log, so that nobody needs the RCON password itself.
.
It runs as the systemd service garrisond under its own system user.")
set(CPACK_DEBIAN_GARRISOND_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/garrisond/postinst ${CMAKE_CURRENT_SOURCE_DIR}/garrisond/prerm
    ${CMAKE_CURRENT_SOURCE_DIR}/garrisond/postrm)

set(CPACK_DEBIAN_GARRISON-TOOLS_PACKAGE_NAME garrison-tools)
set(CPACK_COMPONENT_GARRISON-TOOLS_DESCRIPTION
    "game server simulator for trying GARRISON without a game server
garrison-sim answers the remote console over UDP like a game server, with
simulated players that join, leave, score and chat. The package also holds
a stand-in for the UCON relay that GARRISON's chat page can start.")

include(CPack)
