# The machine's IPv4 addresses (the host name through the system resolver) and the
# network calculator.
ruv_component(ruv_platform_net LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/NetworkCalculator.cpp ${CMAKE_CURRENT_LIST_DIR}/HostAddressesPosix.cpp
  DEPS ruv_platform_core)
