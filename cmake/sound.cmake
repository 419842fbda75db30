# sound.cmake -- the sound's share of the build.

# The four sounds, made by tools/gen_sounds.cpp into the data folder.
set(MAZE_SOUND_FILES
  ${MAZE_DATA_DIR}/music.wav ${MAZE_DATA_DIR}/gun1.wav
  ${MAZE_DATA_DIR}/gun2.wav ${MAZE_DATA_DIR}/explode.wav)
add_custom_command(OUTPUT ${MAZE_SOUND_FILES}
  COMMAND gen_sounds ${MAZE_DATA_DIR}
  DEPENDS gen_sounds
  COMMENT "Composing the sounds")
add_custom_target(maze-sounds DEPENDS ${MAZE_SOUND_FILES})
add_dependencies(maze-data maze-sounds)

# The audio service over SDL2 goes into the game only; the rules library
# stays free of audio libraries.
if(MAZE_WITH_DISPLAY)
  find_package(SDL2 REQUIRED)
  find_package(X11 REQUIRED)
  target_sources(maze-shell PRIVATE ${CMAKE_SOURCE_DIR}/sound/audio_sdl.cpp)
  # X11: the shell reads its own window's title when binding sound to it.
  target_link_libraries(maze-shell PUBLIC SDL2::SDL2 X11::X11)
endif()
