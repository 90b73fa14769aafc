qzs_add_fuzzer(fuzz_ttf_subset
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_ttf_subset.cpp
  LIBS qzs_engine_output)
