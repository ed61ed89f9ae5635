ruv_test(test_platform_xml
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XMLDocTest.cpp
  DEPS ruv_platform_xml ruv_test_support)
