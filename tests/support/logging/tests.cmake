ruv_test(test_support_logging
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LoggingTest.cpp
  DEPS ruv_support_logging
  LABELS tsan)
