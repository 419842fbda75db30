# install.cmake -- `cmake --install` into any prefix by the GNU directories,
# and the Debian package (cpack -G DEB in the build folder).
#
#   bin/                                  maze, maze-server (and maze-status, maze-replay when built)
#   share/maze/                           the level and every generated data file
#   share/applications/maze.desktop       the desktop's menu entry
#   share/icons/hicolor/<n>x<n>/apps/     the icon at 48, 128 and 256 pixels
#   share/man/man6/                       maze.6.gz, maze-server.6.gz
#   share/doc/maze/                       README.md, copyright, changelog.gz
include(GNUInstallDirs)

# The icon, drawn from the shipped level by tools/gen_icon.cpp.
set(MAZE_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(MAZE_ICON_FILES ${MAZE_ICON_DIR}/48/maze.png ${MAZE_ICON_DIR}/128/maze.png ${MAZE_ICON_DIR}/256/maze.png)
add_custom_command(OUTPUT ${MAZE_ICON_FILES}
  COMMAND gen_icon ${CMAKE_SOURCE_DIR}/assets/korvath.map ${MAZE_ICON_DIR}
  DEPENDS gen_icon ${CMAKE_SOURCE_DIR}/assets/korvath.map
  COMMENT "Drawing the icon")

# The manual pages; their options come from the programs' tables.
set(MAZE_MAN_DIR ${CMAKE_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${MAZE_MAN_DIR})
# Installed compressed, as Debian keeps them (no time stamp in the gzip).
add_custom_command(OUTPUT ${MAZE_MAN_DIR}/maze.6.gz ${MAZE_MAN_DIR}/maze-server.6.gz
  COMMAND gen_manpages ${MAZE_MAN_DIR}
  COMMAND gzip -9nf ${MAZE_MAN_DIR}/maze.6 ${MAZE_MAN_DIR}/maze-server.6
  DEPENDS gen_manpages
  COMMENT "Writing the manual pages")

# Debian keeps a package's change log compressed, without a time stamp (so
# the same sources give the same bytes).
set(MAZE_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${MAZE_DOC_DIR})

file(WRITE ${MAZE_DOC_DIR}/changelog
  "maze (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${PROJECT_VERSION}: the game, its server and its data.\n\n"
  " -- The maze developers <maze@example.org>  Mon, 07 Dec 2026 00:00:00 +0000\n")
add_custom_command(OUTPUT ${MAZE_DOC_DIR}/changelog.gz
  COMMAND gzip -9nkf ${MAZE_DOC_DIR}/changelog
  DEPENDS ${MAZE_DOC_DIR}/changelog)
add_custom_target(maze-install-files ALL
  DEPENDS ${MAZE_ICON_FILES} ${MAZE_MAN_DIR}/maze.6.gz ${MAZE_MAN_DIR}/maze-server.6.gz ${MAZE_DOC_DIR}/changelog.gz)

set(MAZE_INSTALLED_PROGRAMS maze maze-server)
if(TARGET maze-status)
  list(APPEND MAZE_INSTALLED_PROGRAMS maze-status)
endif()
if(TARGET maze-replay)
  list(APPEND MAZE_INSTALLED_PROGRAMS maze-replay)
endif()
install(TARGETS ${MAZE_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${MAZE_DATA_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/maze)
install(FILES ${CMAKE_SOURCE_DIR}/assets/maze.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 48 128 256)
  install(FILES ${MAZE_ICON_DIR}/${size}/maze.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${MAZE_MAN_DIR}/maze.6.gz ${MAZE_MAN_DIR}/maze-server.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${MAZE_DOC_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
# The programs stay in bin/, where every user's PATH (root's too) finds
# them, rather than in games/; the linter is told so.
install(FILES ${CMAKE_SOURCE_DIR}/assets/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME maze)

# The Debian package: maze_<version>_<arch>.deb, its library dependencies
# found by dpkg-shlibdeps from the installed programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME maze)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "The maze developers <maze@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "networked first-person combat game in a maze")
# The long description only: CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Players steer fighters through the corridors of a maze, shoot the\n\
two-legged prey that roam, hunt and shoot back, and score a point for\n\
every prey destroyed. One game is the server and a player; up to eight\n\
more join it over UDP on the LAN. The package holds the game, a server\n\
without a window for hosts, and the game's data.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
