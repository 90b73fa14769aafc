# qzs-keypad: command strings from standard input through the keypad interpreter. Its session
# test (keypad.check.in against keypad.check.out) is added with the settings tests. The console
# itself is a library of its own, shared with qzs-sheets so that both answer lines alike.
if(TARGET qzs_settings)
  add_library(qzs_keypad_console STATIC ${CMAKE_CURRENT_LIST_DIR}/keypad_console.cpp)
  target_include_directories(qzs_keypad_console PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(qzs_keypad_console PUBLIC qzs_app qzs_net qzs_settings qzs_programming)
  add_executable(qzs-keypad ${CMAKE_CURRENT_SOURCE_DIR}/keypad.cpp)
  target_link_libraries(qzs-keypad PRIVATE qzs_keypad_console)
endif()
