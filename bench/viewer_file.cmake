if(TARGET qzs_engine_preview AND TARGET qzs_reportctrl)
  qzs_add_bench(bench_viewer_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_viewer_file.cpp
                LIBS qzs_engine_preview qzs_reportctrl)
  target_include_directories(bench_viewer_file PRIVATE ${PROJECT_SOURCE_DIR})
endif()
