qzs_add_fuzzer(fuzz_data_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_data_file.cpp
  LIBS qzs_settings qzs_programming)
