qzs_add_fuzzer(fuzz_keypad
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_keypad.cpp
  LIBS qzs_settings qzs_programming)
