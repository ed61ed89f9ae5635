ruv_test(test_platform_shell
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellTest.cpp
  DEPS ruv_platform_shell ruv_test_support
  ENV "RUV_RECORD_ARGS_PROGRAM=$<TARGET_FILE:ruv_record_args>"
      "RUV_LIST_INHERITED_PROGRAM=$<TARGET_FILE:ruv_list_inherited>")
add_dependencies(test_platform_shell ruv_record_args ruv_list_inherited)
