# HTTP(S) client over libcurl.
find_package(CURL REQUIRED)
ruv_component(ruv_platform_http LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Http.cpp
  DEPS ruv_platform_core
  PRIVATE_DEPS CURL::libcurl)
