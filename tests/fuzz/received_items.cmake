qzs_add_fuzzer(fuzz_received_items
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_received_items.cpp
  LIBS qzs_settings)
