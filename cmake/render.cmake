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

# The model meshes, built by tools/gen_meshes.cpp into the data folder: the
# six fighter parts, the lamp, and the prey's six parts at six levels (the
# lower levels simplified with meshoptimizer).
find_package(meshoptimizer REQUIRED)
target_link_libraries(gen_meshes PRIVATE meshoptimizer::meshoptimizer)
set(MAZE_MESH_FILES ${MAZE_DATA_DIR}/lamp.msh)
foreach(part RANGE 0 5)
  list(APPEND MAZE_MESH_FILES ${MAZE_DATA_DIR}/fighter${part}.msh)
  foreach(level RANGE 0 5)
    list(APPEND MAZE_MESH_FILES ${MAZE_DATA_DIR}/prey${part}_${level}.msh)
  endforeach()
endforeach()
add_custom_command(OUTPUT ${MAZE_MESH_FILES}
  COMMAND gen_meshes ${MAZE_DATA_DIR} > ${CMAKE_BINARY_DIR}/gen_meshes.log
  DEPENDS gen_meshes
  COMMENT "Building the model meshes (sizes in gen_meshes.log)")
add_custom_target(maze-meshes DEPENDS ${MAZE_MESH_FILES})
add_dependencies(maze-data maze-meshes)
