# Stamped copies of one tiny program stand for the local and served terminal
# programs and libraries of the version tests; a stamped copy of ruv_record_args
# is a terminal that writes down how it was started.
set(ruv_terminal_versions 3.0.0.3 3.0.0.4 3.0.9.9 3.1.0.0)
set(ruv_terminal_programs)
foreach(version IN LISTS ruv_terminal_versions)
  string(REPLACE "." "" digits ${version})
  add_executable(ruv_terminal_program_${digits} ${CMAKE_CURRENT_LIST_DIR}/TinyProgram.cpp)
  ruv_target_settings(ruv_terminal_program_${digits})
  ruv_stamp_version(ruv_terminal_program_${digits} FILE_VERSION ${version})
  list(APPEND ruv_terminal_programs ruv_terminal_program_${digits})
endforeach()
set(ruv_record_args_version 3.0.0.4)
add_executable(ruv_record_args_stamped ${PROJECT_SOURCE_DIR}/tools/testprogs/RecordArgs.cpp)
ruv_target_settings(ruv_record_args_stamped)
ruv_stamp_version(ruv_record_args_stamped FILE_VERSION ${ruv_record_args_version})

function(ruv_terminal_test name)
  ruv_test(${name} ${ARGN}
    DEPS ruv_provisioning_terminal ruv_test_http
    ENV "no_proxy=127.0.0.1,localhost")
  target_compile_definitions(${name} PRIVATE
    RUV_PROGRAM_3003="$<TARGET_FILE:ruv_terminal_program_3003>"
    RUV_PROGRAM_3004="$<TARGET_FILE:ruv_terminal_program_3004>"
    RUV_PROGRAM_3099="$<TARGET_FILE:ruv_terminal_program_3099>"
    RUV_PROGRAM_3100="$<TARGET_FILE:ruv_terminal_program_3100>"
    RUV_RECORD_ARGS_STAMPED="$<TARGET_FILE:ruv_record_args_stamped>"
    RUV_RECORD_ARGS_VERSION="${ruv_record_args_version}"
    RUV_RECORD_ARGS_PROGRAM="$<TARGET_FILE:ruv_record_args>")
  add_dependencies(${name} ${ruv_terminal_programs} ruv_record_args_stamped ruv_record_args)
endfunction()

ruv_terminal_test(test_provisioning_terminal_job
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/JobTest.cpp LABELS tsan)
ruv_terminal_test(test_provisioning_terminal_start
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StartTest.cpp LABELS tsan)
ruv_terminal_test(test_provisioning_terminal_update
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UpdateLauncherTest.cpp)
if(RUV_WITH_GUI)
  ruv_terminal_test(test_provisioning_terminal_icon
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/IconTest.cpp)
endif()
