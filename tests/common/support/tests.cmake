# Helpers shared by the test programs: header-only, include as "TestSupport.h".
add_library(ruv_test_support INTERFACE)
target_include_directories(ruv_test_support INTERFACE ${CMAKE_CURRENT_LIST_DIR})
