if(TARGET qzs_reportif AND TARGET qzs_app AND TARGET qzs_layouts)
  qzs_add_bench(bench_sheets_pdf
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_sheets_pdf.cpp
    LIBS qzs_reportif_seam qzs_reportif qzs_app)
  add_dependencies(bench_sheets_pdf kpengn30 kpctrl30 qzs_layouts)
  target_compile_definitions(bench_sheets_pdf PRIVATE
    QZS_KPENGN30_PATH="$<TARGET_FILE:kpengn30>" QZS_KPCTRL30_PATH="$<TARGET_FILE:kpctrl30>"
    QZS_LAYOUT_DIR="${PROJECT_BINARY_DIR}/tools/QzSReport")
endif()
