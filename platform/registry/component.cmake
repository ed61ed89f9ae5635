# The per-user registry store: keys and string values as directories and files
# under the user's configuration directory.
ruv_component(ruv_platform_registry LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Registry.cpp
  DEPS ruv_platform_core)
