find_package(Qt6 REQUIRED COMPONENTS Gui)
qzs_add_fuzzer(fuzz_emf
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_emf.cpp
  LIBS qzs_gdi Qt6::Gui)
