# The walk over the top-level windows that asks other launchers to close, on a
# private X server with and without a window manager.
if(TARGET ruv_test_xserver)
  find_package(benchmark REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(RUV_BENCH_XCB REQUIRED IMPORTED_TARGET xcb)
  add_executable(bench_window_list ${CMAKE_CURRENT_LIST_DIR}/WindowListBench.cpp)
  target_link_libraries(bench_window_list PRIVATE ruv_platform_x11 ruv_test_xserver PkgConfig::RUV_BENCH_XCB
                        benchmark::benchmark)
  ruv_target_settings(bench_window_list)
endif()
