# Network programs: maze-bot, a windowless client for tests and load
# measurements, and maze-storm, a sender of hostile datagrams. They link only
# the rules library, so they also build under the sanitizers.
if(NOT MAZE_FUZZ)
  add_executable(maze-bot ${CMAKE_SOURCE_DIR}/net/bot/maze_bot.cpp)
  target_link_libraries(maze-bot PRIVATE maze-rules)
  add_dependencies(maze-bot maze-data)

  add_executable(maze-storm ${CMAKE_SOURCE_DIR}/net/bot/maze_storm.cpp)
  target_link_libraries(maze-storm PRIVATE maze-rules)
endif()

# maze-server: the server's idle pass without a window, GL or sound, for LAN
# hosts. Rules library only, so it builds in every flavour.
add_executable(maze-server ${CMAKE_SOURCE_DIR}/net/server_main/maze_server.cpp)
target_link_libraries(maze-server PRIVATE maze-rules)
add_dependencies(maze-server maze-data)

# maze-status: asks a running server who it is and who plays on it.
add_executable(maze-status ${CMAKE_SOURCE_DIR}/net/status_main/maze_status.cpp)
target_link_libraries(maze-status PRIVATE maze-rules)

# The test relay (tools/maze_relay.cpp) goes by the family's name.
if(TARGET maze_relay)
  set_target_properties(maze_relay PROPERTIES OUTPUT_NAME maze-relay)
endif()

# maze-replay: what a game recording holds, its check, and cuts of it.
add_executable(maze-replay ${CMAKE_SOURCE_DIR}/net/replay_main/maze_replay.cpp)
target_link_libraries(maze-replay PRIVATE maze-rules)
