ruv_test(test_provisioning_network
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LocalAddressesTest.cpp
  DEPS ruv_provisioning_network)
