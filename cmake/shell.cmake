# shell.cmake -- the shell's share of the build.

# The menus' choices are GL-free: they belong to the rules library, so tests
# without a display cover them.
file(GLOB MAZE_SHELL_PORTABLE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/portable/*.cpp)
target_sources(maze-rules PRIVATE ${MAZE_SHELL_PORTABLE_SOURCES})
