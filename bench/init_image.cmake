if(TARGET qzs_settings)
  qzs_add_bench(bench_init_image
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_init_image.cpp
    LIBS qzs_settings)
endif()
