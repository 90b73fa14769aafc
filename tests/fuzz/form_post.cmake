qzs_add_fuzzer(fuzz_form_post
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_form_post.cpp
  LIBS qzs_settings qzs_programming)
