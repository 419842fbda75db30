# shell.cmake -- the shell's share of the build.

# The menus' choices are GL-free: they belong to the rules library, so tests
# without a display cover them.
file(GLOB MAZE_SHELL_PORTABLE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/portable/*.cpp)
target_sources(maze-rules PRIVATE ${MAZE_SHELL_PORTABLE_SOURCES})

# maze-keylag: key-to-pixel latency as a player sees it, with real X key
# events (XTest) and the window's own pixels. Links X and the rules (its
# command line is the one parser's).
if(MAZE_WITH_DISPLAY AND X11_XTest_FOUND)
  add_executable(maze-keylag ${CMAKE_SOURCE_DIR}/tools/keylag/maze_keylag.cpp)
  target_link_libraries(maze-keylag PRIVATE maze-rules X11::X11 X11::Xtst)
endif()
