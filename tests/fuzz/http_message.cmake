qzs_add_fuzzer(fuzz_http_message
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_http_message.cpp
  LIBS qzs_net)
