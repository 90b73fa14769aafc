if(TARGET qzs_net)
  qzs_add_bench(bench_http_server SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_http_server.cpp LIBS qzs_net)
endif()
