ruv_test(test_config_binding
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XMLBindingTest.cpp
  DEPS ruv_config_binding ruv_test_support)
# One configuration read from several threads at once; CI runs it under ThreadSanitizer.
ruv_test(test_config_binding_threads
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XMLBindingThreadsTest.cpp
  DEPS ruv_config_binding ruv_test_support
  LABELS tsan)
