if(TARGET qzs_net)
  qzs_add_bench(bench_form_post SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_form_post.cpp LIBS qzs_net)
endif()
