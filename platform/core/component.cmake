# Core platform services every layer uses: error classes and text conversions.
ruv_component(ruv_platform_core LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Text.cpp ${CMAKE_CURRENT_LIST_DIR}/Files.cpp)
