# qzs-gen-pages FOLDER: the settings pages from their descriptions. The build writes them into
# HTMLFiles beside the built programs, where the programs look for them: beside the tools
# (QZS_HTML_DIR) and beside korva-qzs when it is built.
if(TARGET qzs_settings)
  add_executable(qzs-gen-pages ${CMAKE_CURRENT_LIST_DIR}/gen_pages.cpp)
  target_link_libraries(qzs-gen-pages PRIVATE qzs_settings qzs_programming)
  set(QZS_HTML_DIR ${CMAKE_CURRENT_BINARY_DIR}/HTMLFiles CACHE INTERNAL "the staged settings pages")
  set(qzs_page_commands COMMAND qzs-gen-pages ${QZS_HTML_DIR})
  if(TARGET korva-qzs)
    list(APPEND qzs_page_commands COMMAND qzs-gen-pages $<TARGET_FILE_DIR:korva-qzs>/HTMLFiles)
  endif()
  add_custom_command(OUTPUT ${QZS_HTML_DIR}/.stamp
    ${qzs_page_commands}
    COMMAND ${CMAKE_COMMAND} -E touch ${QZS_HTML_DIR}/.stamp
    DEPENDS qzs-gen-pages
    COMMENT "Settings pages")
  add_custom_target(qzs_html_pages ALL DEPENDS ${QZS_HTML_DIR}/.stamp)
endif()
