# Downloads over the URL-template list, saving with retries, the timed fetch.
ruv_component(ruv_provisioning_download LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/download.cpp ${CMAKE_CURRENT_LIST_DIR}/watek_pobierania.cpp
  DEPS ruv_platform_core ruv_platform_strings ruv_platform_http ruv_provisioning_resources)
