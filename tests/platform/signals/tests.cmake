ruv_test(test_platform_signals
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TerminationSignalsTest.cpp
  DEPS ruv_platform_signals ruv_test_support
  LABELS tsan
  TIMEOUT 60)
