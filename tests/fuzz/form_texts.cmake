qzs_add_fuzzer(fuzz_form_texts
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_form_texts.cpp
  LIBS qzs_settings qzs_programming)
