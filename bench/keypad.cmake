if(TARGET qzs_settings)
  qzs_add_bench(bench_keypad
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_keypad.cpp
    LIBS qzs_settings qzs_programming)
endif()
