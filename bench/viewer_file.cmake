if(TARGET qzs_engine_preview)
  qzs_add_bench(bench_viewer_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_viewer_file.cpp
                LIBS qzs_engine_preview)
endif()
