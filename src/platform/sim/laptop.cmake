# The virtual laptop: a simulated Mac behind every port, and kestrine-sim.
add_library(kestrine_laptop STATIC
  ${CMAKE_CURRENT_LIST_DIR}/battery_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pmset_reports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual_shell.cpp
  ${CMAKE_CURRENT_LIST_DIR}/virtual_laptop.cpp
)
target_link_libraries(kestrine_laptop PUBLIC kestrine_core)
if(TARGET kestrine_sim)
  target_link_libraries(kestrine_laptop PUBLIC kestrine_sim)
endif()
