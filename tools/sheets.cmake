# qzs-sheets: a keypad console session's data sheets into a PDF file, onto the default printer
# through the report interface, or as plain text pages straight onto the first printer.
if(TARGET qzs_keypad_console AND TARGET qzs_direct_sheets AND TARGET qzs_reportif
   AND TARGET qzs_reportif_seam)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_executable(qzs-sheets ${CMAKE_CURRENT_LIST_DIR}/sheets.cpp)
  target_link_libraries(qzs-sheets PRIVATE qzs_keypad_console qzs_direct_sheets
                        qzs_reportif_seam qzs_reportif Qt6::Widgets)
  if(TARGET kpengn30 AND TARGET kpctrl30)
    add_dependencies(qzs-sheets kpengn30 kpctrl30)
  endif()
endif()
