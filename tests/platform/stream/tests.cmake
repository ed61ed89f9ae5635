ruv_test(test_platform_memory_stream
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MemoryStreamTest.cpp
  DEPS ruv_platform_core)
