# The main window and the program's entry.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
set(ruv_launcher_main_terminals)
foreach(t ruv_provisioning_terminals ruv_provisioning_terminal)
  if(TARGET ${t})
    list(APPEND ruv_launcher_main_terminals ${t})
  endif()
endforeach()
ruv_component(ruv_launcher_main LAYER launcher
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainForm.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Program.cpp
          ${CMAKE_CURRENT_LIST_DIR}/Rozmiary.cpp
  DEPS ruv_launcher_gui ${ruv_launcher_main_terminals} ruv_provisioning_download
       ruv_provisioning_version ruv_provisioning_resources ruv_platform_graphics ruv_platform_registry
       ruv_platform_shell ruv_platform_signals ruv_platform_x11 ruv_config_binding ruv_support_logging ruv_support_dialogs ruv_support_container
       Qt6::Widgets)
