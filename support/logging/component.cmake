# The log vocabulary (levels, log-line tokens) and the program-context registry.
ruv_component(ruv_support_logging LAYER support
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Logging.cpp
  DEPS ruv_platform_core)
