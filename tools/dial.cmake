# qzs-dial: lists the dial-up entries and dials one through pppd, printing its status events.
if(TARGET qzs_app)
  add_executable(qzs-dial ${CMAKE_CURRENT_SOURCE_DIR}/dial.cpp)
  target_link_libraries(qzs-dial PRIVATE qzs_app qzs_dialup)
endif()
