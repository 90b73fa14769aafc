if(TARGET qzs_engine_preview AND TARGET qzs_reportctrl)
  qzs_add_fuzzer(fuzz_viewer_file
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_viewer_file.cpp
    LIBS qzs_engine_preview qzs_reportctrl)
endif()
