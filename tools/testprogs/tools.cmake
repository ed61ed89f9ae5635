# Programs that tests start in place of terminals and helpers.
# ruv_record_args writes down how it was started: its working directory and
# its arguments.
add_executable(ruv_record_args ${CMAKE_CURRENT_LIST_DIR}/RecordArgs.cpp)
ruv_target_settings(ruv_record_args)

# ruv_list_inherited writes down what it inherited: its open descriptors and its
# blocked-signal mask.
add_executable(ruv_list_inherited ${CMAKE_CURRENT_LIST_DIR}/ListInherited.cpp)
ruv_target_settings(ruv_list_inherited)

# Two builds of it with version resources, an older and a newer one, for tests
# that update a terminal: ruv_record_args_old (1.0.0.0) and ruv_record_args_new (1.0.0.1).
foreach(v old:1.0.0.0 new:1.0.0.1)
  string(REPLACE ":" ";" pair ${v})
  list(GET pair 0 kind)
  list(GET pair 1 version)
  add_executable(ruv_record_args_${kind} ${CMAKE_CURRENT_LIST_DIR}/RecordArgs.cpp)
  ruv_target_settings(ruv_record_args_${kind})
  ruv_stamp_version(ruv_record_args_${kind} FILE_VERSION "${version}")
endforeach()
