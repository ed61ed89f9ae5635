# GetFileVersionString: the "FileVersion" text of a file's version information.
ruv_component(ruv_provisioning_version LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FileVersion.cpp
  DEPS ruv_platform_version ruv_platform_core)
