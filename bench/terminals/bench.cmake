# The offered-terminal list of a large configuration.
find_package(benchmark REQUIRED)
add_executable(bench_terminals ${CMAKE_CURRENT_LIST_DIR}/TerminalsBench.cpp)
target_link_libraries(bench_terminals PRIVATE ruv_provisioning_terminals benchmark::benchmark)
ruv_target_settings(bench_terminals)
