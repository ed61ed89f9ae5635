# The resource strings. The URL-template list comes from the build option RUV_URL_TEMPLATES;
# it lives in this one object so that tests can link a copy with another server.
# The bound of a terminal file comes from RUV_MAX_TERMINAL_FILE_BYTES; TerminalFileBound.cpp
# holds that definition alone, so that a program can link its own copy with another bound.
ruv_component(ruv_provisioning_resources LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ResourceStrings.cpp ${CMAKE_CURRENT_LIST_DIR}/TerminalFileBound.cpp)
target_compile_definitions(ruv_provisioning_resources PRIVATE
  "RUV_URL_TEMPLATES=\"${RUV_URL_TEMPLATES}\""
  "RUV_MAX_TERMINAL_FILE_BYTES=${RUV_MAX_TERMINAL_FILE_BYTES}")
