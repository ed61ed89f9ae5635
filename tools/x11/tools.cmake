# The X server's top-level windows seen from outside: what the end-to-end tests and
# the benchmarks watch the launcher through.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RUV_XWATCH_XCB REQUIRED IMPORTED_TARGET xcb)
add_library(ruv_xwatch STATIC ${CMAKE_CURRENT_LIST_DIR}/TopLevelWindows.cpp)
target_include_directories(ruv_xwatch PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(ruv_xwatch PUBLIC PkgConfig::RUV_XWATCH_XCB)
ruv_target_settings(ruv_xwatch)
