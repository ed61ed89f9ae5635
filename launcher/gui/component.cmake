# The Qt side of the support layer: the progress window, the Qt message boxes, the
# registration of the window in the container, and where the launcher's windows go.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
ruv_component(ruv_launcher_gui LAYER launcher
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RunnableWithProgressExecuterWithForm.cpp
          ${CMAKE_CURRENT_LIST_DIR}/QtMessageBoxes.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SpringInit.cpp
          ${CMAKE_CURRENT_LIST_DIR}/WindowPlacement.cpp
  DEPS ruv_support_progress ruv_support_dialogs ruv_support_container Qt6::Widgets)
