if(TARGET ruv_launcher_main AND TARGET ruv_virad)
  ruv_test(test_launcher_main_window
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp
    DEPS ruv_launcher_main ruv_support_dialogs ruv_test_http
    ENV "no_proxy=127.0.0.1,localhost"
        "RUV_LAUNCHER_EXE=$<TARGET_FILE:ruv_virad>"
        "RUV_RECORD_ARGS_PROGRAM=$<TARGET_FILE:ruv_record_args>"
    TIMEOUT 120)
  add_dependencies(test_launcher_main_window ruv_virad ruv_record_args)
endif()
