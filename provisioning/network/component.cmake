# The machine's address list for the client network check.
ruv_component(ruv_provisioning_network LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LocalAddresses.cpp
  DEPS ruv_platform_net)
