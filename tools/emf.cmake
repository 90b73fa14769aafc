# qzs-emf records FILE.emf | png FILE.emf OUT.png: lists or draws an enhanced metafile.
if(TARGET qzs_gdi)
  add_executable(qzs-emf ${CMAKE_CURRENT_LIST_DIR}/emf.cpp)
  target_link_libraries(qzs-emf PRIVATE qzs_gdi)
endif()
