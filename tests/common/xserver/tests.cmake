# The tests' private X server (Xvfb, optionally with the openbox window manager),
# and keys pressed on it through XTEST.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RUV_TEST_XSERVER_XCB REQUIRED IMPORTED_TARGET xcb xcb-xtest)
add_library(ruv_test_xserver STATIC ${CMAKE_CURRENT_LIST_DIR}/XServer.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeInput.cpp)
target_include_directories(ruv_test_xserver PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(ruv_test_xserver PUBLIC PkgConfig::RUV_TEST_XSERVER_XCB)
ruv_target_settings(ruv_test_xserver)
