# Prey: the generated pose set and the windowless simulator.

# PreyPoses.dat is generated, never committed: gen_poses (tools/) writes it
# into the data folder.
add_custom_command(OUTPUT ${MAZE_DATA_DIR}/PreyPoses.dat
  COMMAND gen_poses ${MAZE_DATA_DIR}/PreyPoses.dat
  DEPENDS gen_poses
  COMMENT "Generating PreyPoses.dat")
add_custom_target(maze-prey-poses DEPENDS ${MAZE_DATA_DIR}/PreyPoses.dat)
add_dependencies(maze-data maze-prey-poses)

# maze-sim: the server's rules without a window, for soak tests, tuning and
# benchmarks. Run it in the data folder: maze-sim --steps 30000.
add_executable(maze-sim ${CMAKE_SOURCE_DIR}/tools/sim/maze_sim.cpp)
target_link_libraries(maze-sim PRIVATE maze-rules)
add_dependencies(maze-sim maze-data)
