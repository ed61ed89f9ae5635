# Typed binding of the configuration document.
ruv_component(ruv_config_binding LAYER config
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XMLBinding.cpp
  DEPS ruv_platform_xml)
