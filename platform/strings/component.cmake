# String-list services (delimited-text splitting).
ruv_component(ruv_platform_strings LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Strings.cpp)
