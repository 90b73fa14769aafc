if(TARGET qzs_settings AND TARGET qzs_html_pages)
  qzs_add_bench(bench_forms
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_forms.cpp
    LIBS qzs_settings qzs_programming)
  add_dependencies(bench_forms qzs_html_pages)
  target_compile_definitions(bench_forms PRIVATE QZS_HTML_DIR="${QZS_HTML_DIR}")
endif()
