# render.cmake -- the renderer's share of the build.

# The GL-free decisions of the renderer (light choice, visibility) belong to
# the rules library, so display-free and sanitizer tests cover them.
file(GLOB MAZE_RENDER_PORTABLE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/render/portable/*.cpp)
target_sources(maze-rules PRIVATE ${MAZE_RENDER_PORTABLE_SOURCES})

# The four maze textures, drawn by tools/gen_textures.cpp into the data folder.
set(MAZE_TEXTURE_FILES
  ${MAZE_DATA_DIR}/wall.rgb ${MAZE_DATA_DIR}/floor.rgb
  ${MAZE_DATA_DIR}/Clouds.rgb ${MAZE_DATA_DIR}/wall1.rgb)
add_custom_command(OUTPUT ${MAZE_TEXTURE_FILES}
  COMMAND gen_textures ${MAZE_DATA_DIR}
  DEPENDS gen_textures
  COMMENT "Drawing the maze textures")
add_custom_target(maze-textures DEPENDS ${MAZE_TEXTURE_FILES})
add_dependencies(maze-data maze-textures)
