# A terminal file fetched to disk through TPlik::download, and the curl tool doing
# the same, one process per run. Run through tools/bench.sh.
if(TARGET ruv_provisioning_terminals)
  add_executable(bench_plik_download ${CMAKE_CURRENT_LIST_DIR}/PlikDownloadOnce.cpp)
  target_link_libraries(bench_plik_download PRIVATE ruv_provisioning_terminals)
  ruv_target_settings(bench_plik_download)
endif()
