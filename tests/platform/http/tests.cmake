ruv_test(test_platform_http
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/HttpTest.cpp
  DEPS ruv_platform_http ruv_test_http ENV "no_proxy=127.0.0.1,localhost")
