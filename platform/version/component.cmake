# The version reader: VS_VERSIONINFO of PE files (version resource) and of our
# ELF executables (.ruv_version section), read like the Windows version API.
ruv_component(ruv_platform_version LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.cpp ${CMAKE_CURRENT_LIST_DIR}/VersionResource.cpp
  DEPS ruv_platform_core)
