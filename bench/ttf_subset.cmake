if(TARGET qzs_engine_output)
  qzs_add_bench(bench_ttf_subset
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_ttf_subset.cpp
    LIBS qzs_engine_output)
endif()
