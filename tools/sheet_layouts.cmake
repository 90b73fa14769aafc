# (Named so that it comes after report.cmake, whose qzs-report it runs.)
# qzs-gen-layouts: the data-sheet layouts (QzSReport/*.k30) from resources/QzSReport/layouts.txt,
# built by qzs-report into QzSReport beside the tools and beside korva-qzs, where the programs
# look for them. Not committed: every build makes the same bytes.
if(TARGET qzs-report)
  add_executable(qzs-gen-layouts ${CMAKE_CURRENT_LIST_DIR}/gen_layouts.cpp)
  set(qzs_layout_spec ${PROJECT_SOURCE_DIR}/resources/QzSReport/layouts.txt)
  set(qzs_layout_dirs ${CMAKE_CURRENT_BINARY_DIR}/QzSReport)
  if(TARGET korva-qzs)
    list(APPEND qzs_layout_dirs $<TARGET_FILE_DIR:korva-qzs>/QzSReport)
  endif()
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/QzSReport/.stamp
    COMMAND qzs-gen-layouts ${qzs_layout_spec} ${CMAKE_CURRENT_BINARY_DIR}/layouts
            $<TARGET_FILE:qzs-report> ${qzs_layout_dirs}
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/QzSReport/.stamp
    DEPENDS qzs-gen-layouts qzs-report kpengn30 kpctrl30 ${qzs_layout_spec}
    COMMENT "Data-sheet layouts")
  add_custom_target(qzs_layouts ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/QzSReport/.stamp)
endif()
