# Programs that tests start in place of terminals and helpers.
# ruv_record_args writes down how it was started: its working directory and
# its arguments.
add_executable(ruv_record_args ${CMAKE_CURRENT_LIST_DIR}/RecordArgs.cpp)
ruv_target_settings(ruv_record_args)
