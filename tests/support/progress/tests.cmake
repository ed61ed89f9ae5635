ruv_test(test_support_progress
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProgressTest.cpp
  DEPS ruv_support_progress ruv_support_dialogs
  LABELS tsan)
