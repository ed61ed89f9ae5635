# The machine's IPv4 addresses (read from its network interfaces) and the network
# calculator. The interface reading is the one of the system we build for.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(ruv_net_backend ${CMAKE_CURRENT_LIST_DIR}/HostAddressesLinux.cpp)
else()
  message(FATAL_ERROR "No network interface backend for ${CMAKE_SYSTEM_NAME}")
endif()
ruv_component(ruv_platform_net LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NetworkCalculator.cpp ${CMAKE_CURRENT_LIST_DIR}/HostAddresses.cpp
          ${ruv_net_backend}
  DEPS ruv_platform_core)
