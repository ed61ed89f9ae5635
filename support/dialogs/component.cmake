# The message-box service interface, its free functions and a scripted implementation.
ruv_component(ruv_support_dialogs LAYER support
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.cpp ${CMAKE_CURRENT_LIST_DIR}/ScriptedMessageBoxes.cpp)
