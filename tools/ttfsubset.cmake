# qzs-ttfsubset FONT TEXTFILE OUT: the TrueType subset the PDF export would embed for a text.
if(TARGET qzs_engine_output)
  add_executable(qzs-ttfsubset ${CMAKE_CURRENT_LIST_DIR}/ttfsubset.cpp)
  target_link_libraries(qzs-ttfsubset PRIVATE qzs_engine_output)
endif()
