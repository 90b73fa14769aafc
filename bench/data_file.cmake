if(TARGET qzs_settings)
  qzs_add_bench(bench_data_file
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_data_file.cpp
    LIBS qzs_settings)
endif()
