# qzs-gen-pages FOLDER: the settings pages from their descriptions. The build writes them into
# HTMLFiles beside the built programs (QZS_HTML_DIR), where the programs look for them.
if(TARGET qzs_settings)
  add_executable(qzs-gen-pages ${CMAKE_CURRENT_LIST_DIR}/gen_pages.cpp)
  target_link_libraries(qzs-gen-pages PRIVATE qzs_settings qzs_programming)
  set(QZS_HTML_DIR ${CMAKE_CURRENT_BINARY_DIR}/HTMLFiles CACHE INTERNAL "the staged settings pages")
  add_custom_command(OUTPUT ${QZS_HTML_DIR}/.stamp
    COMMAND qzs-gen-pages ${QZS_HTML_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${QZS_HTML_DIR}/.stamp
    DEPENDS qzs-gen-pages
    COMMENT "Settings pages")
  add_custom_target(qzs_html_pages ALL DEPENDS ${QZS_HTML_DIR}/.stamp)
endif()
