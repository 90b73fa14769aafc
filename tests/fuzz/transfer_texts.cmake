qzs_add_fuzzer(fuzz_transfer_texts
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_transfer_texts.cpp
  LIBS qzs_net)
