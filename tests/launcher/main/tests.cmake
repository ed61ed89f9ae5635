if(TARGET ruv_launcher_main AND TARGET ruv_virad)
  ruv_test(test_launcher_main_window
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp
    DEPS ruv_launcher_main ruv_support_dialogs ruv_test_http ruv_test_support
    ENV "no_proxy=127.0.0.1,localhost"
        "RUV_LAUNCHER_EXE=$<TARGET_FILE:ruv_virad>"
        "RUV_RECORD_ARGS_PROGRAM=$<TARGET_FILE:ruv_record_args>"
    TIMEOUT 120)
  add_dependencies(test_launcher_main_window ruv_virad ruv_record_args)
  ruv_test(test_launcher_program
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProgramTest.cpp
    DEPS ruv_launcher_main ruv_test_xserver ruv_test_support
    ENV "RUV_LAUNCHER_EXE=$<TARGET_FILE:ruv_virad>"
    TIMEOUT 60)
  add_dependencies(test_launcher_program ruv_virad)
endif()

# The launcher program under Xvfb, on the port of its built-in URL template, which
# must be a plain-HTTP one on 127.0.0.1.
string(REGEX MATCH "^http://127\\.0\\.0\\.1:([0-9]+)/" ruv_e2e_match "${RUV_URL_TEMPLATES}")
if(TARGET ruv_virad AND ruv_e2e_match)
  set(ruv_e2e_port ${CMAKE_MATCH_1})
  # The launcher with a small bound for a terminal file (32 MiB), so that the test of
  # a file without end writes tens of MiB, not the real bound: the program's main.cpp
  # with its own copy of TerminalFileBound.cpp, compiled with that bound. Its
  # definition of the bound is there before the libraries are searched, and the
  # linker takes an object out of a library only for a symbol still undefined, so
  # the library's TerminalFileBound.o, which defines the bound and nothing else, is
  # never linked in (were it, the link would fail on the symbol defined twice).
  set(ruv_small_terminal_file_bytes 33554432)
  add_executable(ruv_virad_small_bound ${PROJECT_SOURCE_DIR}/launcher/app/main.cpp
                                       ${PROJECT_SOURCE_DIR}/provisioning/resources/TerminalFileBound.cpp)
  target_compile_definitions(ruv_virad_small_bound PRIVATE
    "RUV_MAX_TERMINAL_FILE_BYTES=${ruv_small_terminal_file_bytes}")
  target_link_libraries(ruv_virad_small_bound PRIVATE ruv_launcher_main)
  ruv_target_settings(ruv_virad_small_bound)
  ruv_stamp_version(ruv_virad_small_bound FILE_VERSION "3.0.0.3")
  ruv_test(test_launcher_e2e
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/LauncherE2ETest.cpp
    DEPS ruv_provisioning_version ruv_xwatch ruv_test_xserver ruv_test_support
    ENV "no_proxy=127.0.0.1,localhost"
        "RUV_E2E_PORT=${ruv_e2e_port}"
        "RUV_LAUNCHER_EXE=$<TARGET_FILE:ruv_virad>"
        "RUV_LAUNCHER_SMALL_BOUND_EXE=$<TARGET_FILE:ruv_virad_small_bound>"
        "RUV_SMALL_TERMINAL_FILE_BYTES=${ruv_small_terminal_file_bytes}"
        "RUV_E2E_TERMINAL_OLD=$<TARGET_FILE:ruv_record_args_old>"
        "RUV_E2E_TERMINAL_NEW=$<TARGET_FILE:ruv_record_args_new>"
    TIMEOUT 900)
  add_dependencies(test_launcher_e2e ruv_virad ruv_virad_small_bound ruv_record_args_old ruv_record_args_new)
  set_tests_properties(test_launcher_e2e PROPERTIES RESOURCE_LOCK download_port)
endif()

# The launcher's windows as the window manager keeps them: under Xvfb with openbox,
# on the port of the built-in URL template, as the tests above.
if(TARGET ruv_virad AND ruv_e2e_match)
  ruv_test(test_launcher_e2e_windows
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/LauncherWindowsE2ETest.cpp
    DEPS ruv_xwatch ruv_test_xserver ruv_test_support
    ENV "no_proxy=127.0.0.1,localhost"
        "RUV_E2E_PORT=${ruv_e2e_port}"
        "RUV_LAUNCHER_EXE=$<TARGET_FILE:ruv_virad>"
        "RUV_E2E_TERMINAL_NEW=$<TARGET_FILE:ruv_record_args_new>"
    TIMEOUT 300)
  add_dependencies(test_launcher_e2e_windows ruv_virad ruv_record_args_new)
  set_tests_properties(test_launcher_e2e_windows PROPERTIES RESOURCE_LOCK download_port)
endif()
