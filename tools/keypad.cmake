# qzs-keypad: command strings from standard input through the keypad interpreter. Its session
# test (keypad.check.in against keypad.check.out) is added with the settings tests.
if(TARGET qzs_settings)
  add_executable(qzs-keypad ${CMAKE_CURRENT_SOURCE_DIR}/keypad.cpp)
  target_link_libraries(qzs-keypad PRIVATE qzs_app qzs_net qzs_settings qzs_programming)
endif()
