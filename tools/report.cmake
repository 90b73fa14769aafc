# qzs-report: report files, pictures and the other output paths, as a host drives the engine
# (libkpengn30.so through its exports). Each subcommand is a tools/report_*.cpp of its own. The
# saved-file subcommands (report_k3v.cpp) link the engine's preview code and the controls in
# instead, and never load the library.
if(TARGET kpengn30 AND TARGET kpctrl30 AND TARGET qzs_gdi AND TARGET qzs_engine_preview
   AND TARGET qzs_reportctrl)
  file(GLOB qzs_report_tool_sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/report.cpp ${CMAKE_CURRENT_LIST_DIR}/report_*.cpp)
  add_executable(qzs-report ${qzs_report_tool_sources})
  find_package(Qt6 REQUIRED COMPONENTS Gui Widgets)
  target_include_directories(qzs-report PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(qzs-report PRIVATE qzs_base qzs_gdi qzs_automation Qt6::Gui Qt6::Widgets
                        ${CMAKE_DL_LIBS} qzs_engine_preview_ui qzs_engine_preview qzs_reportctrl)
  add_dependencies(qzs-report kpengn30 kpctrl30)
endif()
# The tool holds the engine's interfaces as a host does, without the engine's code; the vptr
# check would want the engine's type information for the site holder it hands its site to.
if(TARGET qzs-report AND QZS_SANITIZE)
  target_compile_options(qzs-report PRIVATE -fno-sanitize=vptr)
endif()
