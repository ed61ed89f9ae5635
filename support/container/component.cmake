# The service container and the global service locator.
ruv_component(ruv_support_container LAYER support
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Container.cpp
  DEPS ruv_platform_core)
