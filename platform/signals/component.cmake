# The termination signals: taken on a thread of their own, they end the process
# cleanly. The backend is the one of the system we build for.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(ruv_signals_backend ${CMAKE_CURRENT_LIST_DIR}/TerminationSignalsLinux.cpp)
else()
  message(FATAL_ERROR "No termination-signal backend for ${CMAKE_SYSTEM_NAME}")
endif()
find_package(Threads REQUIRED)
ruv_component(ruv_platform_signals LAYER platform
  SOURCES ${ruv_signals_backend}
  DEPS ruv_platform_core
  PRIVATE_DEPS Threads::Threads)
