# The run-with-progress job framework without its window: jobs, the decorator that
# enforces one `finished`, and the worker thread.
find_package(Threads REQUIRED)
ruv_component(ruv_support_progress LAYER support
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProcedureWithProgressExecuter.cpp
  DEPS ruv_platform_core ruv_support_dialogs Threads::Threads)
