ruv_test(test_platform_strings
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StringsTest.cpp
  DEPS ruv_platform_strings)
