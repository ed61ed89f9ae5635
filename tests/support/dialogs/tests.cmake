ruv_test(test_support_dialogs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MessageBoxesTest.cpp
  DEPS ruv_support_dialogs
  LABELS tsan)
