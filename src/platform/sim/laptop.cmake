# The virtual laptop: a simulated Mac behind every port, and kestrine-sim.
add_library(kestrine_laptop STATIC
  ${CMAKE_CURRENT_LIST_DIR}/battery_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pmset_reports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual_shell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual_laptop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/event_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/laptop_run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scenario.cpp
  ${CMAKE_CURRENT_LIST_DIR}/whatif.cpp
  ${CMAKE_CURRENT_LIST_DIR}/demo.cpp
)
target_link_libraries(kestrine_laptop PUBLIC kestrine_core)
if(TARGET kestrine_sim)
  target_link_libraries(kestrine_laptop PUBLIC kestrine_sim)
endif()

# `make demo` runs build/dev/src/platform/sim/kestrine-sim.
add_executable(kestrine-sim ${CMAKE_CURRENT_LIST_DIR}/sim_main.cpp)
target_link_libraries(kestrine-sim PRIVATE kestrine_laptop)
