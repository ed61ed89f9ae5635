# The launcher's start-up time and the CPU time of its timed configuration fetch,
# watched through the X server; and a minimal Qt window as the start-up yardstick.
# Run through tools/bench.sh.
if(RUV_WITH_GUI)
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_window_timing ${CMAKE_CURRENT_LIST_DIR}/WindowTiming.cpp)
target_link_libraries(bench_window_timing PRIVATE ruv_xwatch)
ruv_target_settings(bench_window_timing)
add_executable(bench_minimal_window ${CMAKE_CURRENT_LIST_DIR}/MinimalWindow.cpp)
target_link_libraries(bench_minimal_window PRIVATE Qt6::Widgets)
ruv_target_settings(bench_minimal_window)
endif()
