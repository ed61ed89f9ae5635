# The tests' HTTP(S) server helper (tools/http/test_server.py behind a C++ class).
add_library(ruv_test_http STATIC ${CMAKE_CURRENT_LIST_DIR}/TestHttpServer.cpp)
target_include_directories(ruv_test_http PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(ruv_test_http PRIVATE
  "RUV_TEST_PYTHON=\"${Python3_EXECUTABLE}\""
  "RUV_TEST_SERVER_SCRIPT=\"${PROJECT_SOURCE_DIR}/tools/http/test_server.py\"")
ruv_target_settings(ruv_test_http)
