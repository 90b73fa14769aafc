# qzs-emf records FILE.emf | png FILE.emf OUT.png: lists or draws an enhanced metafile.
if(TARGET qzs_gdi)
  add_executable(qzs-emf ${CMAKE_CURRENT_LIST_DIR}/emf.cpp)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  target_include_directories(qzs-emf PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(qzs-emf PRIVATE qzs_gdi qzs_base Qt6::Gui)
endif()
