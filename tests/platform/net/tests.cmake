ruv_test(test_platform_net
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NetworkTest.cpp
  DEPS ruv_platform_net)
