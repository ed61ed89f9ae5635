ruv_test(test_platform_text
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TextTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FilesTest.cpp
  DEPS ruv_platform_core ruv_test_support)
