# Download throughput against the curl tool, peak memory of a fetch, and the CPU
# time of a timed fetch that times out. Run through tools/bench.sh.
find_package(benchmark REQUIRED)
add_executable(bench_download ${CMAKE_CURRENT_LIST_DIR}/DownloadBench.cpp)
target_link_libraries(bench_download PRIVATE ruv_provisioning_download benchmark::benchmark)
ruv_target_settings(bench_download)
add_executable(bench_download_once ${CMAKE_CURRENT_LIST_DIR}/DownloadOnce.cpp)
target_link_libraries(bench_download_once PRIVATE ruv_provisioning_download)
ruv_target_settings(bench_download_once)
