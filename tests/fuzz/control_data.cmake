if(TARGET qzs_reportctrl)
  qzs_add_fuzzer(fuzz_control_data
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_control_data.cpp
    LIBS qzs_reportctrl qzs_engine_core)
endif()
