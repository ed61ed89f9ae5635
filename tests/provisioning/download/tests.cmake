ruv_test(test_provisioning_download
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DownloadTest.cpp
  DEPS ruv_provisioning_download ruv_test_http ENV "no_proxy=127.0.0.1,localhost")
# The timed fetch waits out its 5 s limit; each long case has a program of its own
# so that they run side by side.
ruv_test(test_provisioning_timed_fetch
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TimedFetchTest.cpp
  DEPS ruv_provisioning_download ruv_test_http ENV "no_proxy=127.0.0.1,localhost" LABELS tsan)
ruv_test(test_provisioning_timed_fetch_failure
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TimedFetchFailureTest.cpp
  DEPS ruv_provisioning_download ruv_test_http ENV "no_proxy=127.0.0.1,localhost" LABELS tsan)
ruv_test(test_provisioning_timed_fetch_abandoned
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TimedFetchAbandonedTest.cpp
  DEPS ruv_provisioning_download ruv_test_http ENV "no_proxy=127.0.0.1,localhost" LABELS tsan)
