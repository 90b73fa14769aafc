if(TARGET qzs_engine_output)
  qzs_add_bench(bench_pdf_export
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_pdf_export.cpp
    LIBS qzs_engine_output)
endif()
