# The terminal classes' own part: the current elements, the described files
# (TPlik), the configuration queries and network check (TTerminals), and the
# decoding of a fetched configuration text.
ruv_component(ruv_provisioning_terminals LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CurrentElements.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ConfigurationText.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Plik.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Terminals.cpp
  DEPS ruv_config_binding ruv_platform_core ruv_platform_xml ruv_platform_graphics
       ruv_provisioning_download ruv_provisioning_network ruv_provisioning_resources
       ruv_provisioning_version
  PRIVATE_DEPS ruv_platform_net)
