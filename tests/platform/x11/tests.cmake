find_package(PkgConfig REQUIRED)
pkg_check_modules(RUV_TEST_XCB REQUIRED IMPORTED_TARGET xcb)
ruv_test(test_platform_x11
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowListTest.cpp
  DEPS ruv_platform_x11 ruv_test_xserver ruv_test_support PkgConfig::RUV_TEST_XCB
  LABELS tsan
  TIMEOUT 60)
