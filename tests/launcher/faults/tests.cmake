# The launcher end to end under faults of the server, the configuration and the
# disk: each row runs the real start-up in a child process (the driver below,
# copied in as "ruv_virad.exe") against the test server on 127.0.0.1.
if(TARGET ruv_launcher_main AND TARGET ruv_virad)
  add_executable(ruv_fault_driver ${CMAKE_CURRENT_LIST_DIR}/FaultDriver.cpp)
  target_link_libraries(ruv_fault_driver PRIVATE ruv_launcher_main)
  ruv_target_settings(ruv_fault_driver)
  ruv_stamp_version(ruv_fault_driver FILE_VERSION "3.0.0.3")
  ruv_test(test_launcher_faults
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/LauncherFaultsTest.cpp
    DEPS ruv_test_http
    ENV "no_proxy=127.0.0.1,localhost"
        "RUV_FAULT_DRIVER=$<TARGET_FILE:ruv_fault_driver>"
        "RUV_FAULT_TERMINAL_OLD=$<TARGET_FILE:ruv_record_args_old>"
        "RUV_FAULT_TERMINAL_NEW=$<TARGET_FILE:ruv_record_args_new>"
    TIMEOUT 120)
  add_dependencies(test_launcher_faults ruv_fault_driver ruv_record_args_old ruv_record_args_new)
endif()
