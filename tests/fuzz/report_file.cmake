qzs_add_fuzzer(fuzz_report_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_report_file.cpp
  LIBS qzs_engine_core qzs_reportctrl)
