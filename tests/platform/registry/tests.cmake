ruv_test(test_platform_registry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegistryTest.cpp
  DEPS ruv_platform_registry ruv_test_support)
