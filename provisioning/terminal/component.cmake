# The selected terminal: its update job, its start, its name and icon; and the
# launcher's hand-over to the downloader program.
ruv_component(ruv_provisioning_terminal LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Terminal.cpp ${CMAKE_CURRENT_LIST_DIR}/UpdateLauncher.cpp
  DEPS ruv_provisioning_terminals ruv_provisioning_download ruv_provisioning_resources
       ruv_support_progress ruv_support_dialogs ruv_support_container
       ruv_platform_core ruv_platform_graphics ruv_platform_shell)
