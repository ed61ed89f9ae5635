# The launcher executable: its file must be named "ruv_virad.exe".
if(TARGET ruv_provisioning_terminals AND TARGET ruv_provisioning_terminal)
add_executable(ruv_virad ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ruv_virad PRIVATE ruv_launcher_main)
ruv_target_settings(ruv_virad)
set_target_properties(ruv_virad PROPERTIES OUTPUT_NAME "ruv_virad" SUFFIX ".exe")
ruv_stamp_version(ruv_virad FILE_VERSION "3.0.0.3")
endif()
