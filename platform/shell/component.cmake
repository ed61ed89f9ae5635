# Starting programs and links. The backend is the one of the system we build for.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(ruv_shell_backend ${CMAKE_CURRENT_LIST_DIR}/ShellLinux.cpp)
else()
  message(FATAL_ERROR "No shell backend for ${CMAKE_SYSTEM_NAME}")
endif()
ruv_component(ruv_platform_shell LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CommandLine.cpp ${ruv_shell_backend}
  DEPS ruv_platform_core)
