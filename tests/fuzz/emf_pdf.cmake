qzs_add_fuzzer(fuzz_emf_pdf
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_emf_pdf.cpp
  LIBS qzs_engine_output)
