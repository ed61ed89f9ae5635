ruv_test(test_support_container
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ContainerTest.cpp
  DEPS ruv_support_container
  LABELS tsan)
