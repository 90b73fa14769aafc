if(TARGET qzs_engine_preview_ui AND TARGET qzs_reportctrl)
  qzs_add_bench(bench_preview_paint SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_preview_paint.cpp
                LIBS qzs_engine_preview_ui qzs_engine_preview qzs_reportctrl)
  target_include_directories(bench_preview_paint PRIVATE ${PROJECT_SOURCE_DIR})
endif()
