# Loading and walking a large configuration through the binding.
find_package(benchmark REQUIRED)
add_executable(bench_config_binding ${CMAKE_CURRENT_LIST_DIR}/BindingBench.cpp)
target_link_libraries(bench_config_binding PRIVATE ruv_config_binding benchmark::benchmark)
ruv_target_settings(bench_config_binding)
