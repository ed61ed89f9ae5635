ruv_test(test_platform_text
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TextTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FilesTest.cpp
  DEPS ruv_platform_core ruv_test_support)
ruv_test(test_platform_killed_writer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/KilledWriterTest.cpp
  DEPS ruv_platform_core ruv_test_support)
