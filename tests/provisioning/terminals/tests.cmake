# Two copies of one small program, stamped with the launcher's own version and with
# a version that holds letters, for the version gate and the local-version read.
foreach(stamp IN ITEMS plain lettered)
  add_executable(ruv_terminals_stamped_${stamp} ${CMAKE_CURRENT_LIST_DIR}/StampedProgram.cpp)
  ruv_target_settings(ruv_terminals_stamped_${stamp})
endforeach()
ruv_stamp_version(ruv_terminals_stamped_plain FILE_VERSION "3.0.0.3")
ruv_stamp_version(ruv_terminals_stamped_lettered FILE_VERSION "3.0.0.3 Beta Źdźbło")

ruv_test(test_provisioning_terminals
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TerminalsTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ConfigurationTextTest.cpp
  DEPS ruv_provisioning_terminals)
ruv_test(test_provisioning_plik
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlikTest.cpp
  DEPS ruv_provisioning_terminals ruv_test_http ENV "no_proxy=127.0.0.1,localhost")
foreach(t test_provisioning_terminals test_provisioning_plik)
  target_compile_definitions(${t} PRIVATE
    RUV_STAMPED_PLAIN="$<TARGET_FILE:ruv_terminals_stamped_plain>"
    RUV_STAMPED_LETTERED="$<TARGET_FILE:ruv_terminals_stamped_lettered>")
  add_dependencies(${t} ruv_terminals_stamped_plain ruv_terminals_stamped_lettered)
endforeach()
ruv_test(test_provisioning_terminals_threads
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ThreadsTest.cpp
  DEPS ruv_provisioning_terminals LABELS tsan)
# The machine's own addresses, set in a private network namespace (needs root and ip).
ruv_test(test_provisioning_machine_addresses
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MachineAddressesTest.cpp
  DEPS ruv_provisioning_terminals)
# Its own program: it puts a mkdir of its own in front of the C library's.
ruv_test(test_provisioning_plik_levels
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlikLevelsTest.cpp
  DEPS ruv_provisioning_terminals ruv_test_http LABELS tsan ENV "no_proxy=127.0.0.1,localhost")
