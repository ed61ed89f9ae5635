# The demo's server root against its configuration: every named file is there,
# icons load, and the stamped versions are the configured ones.
if(NOT RUV_WITH_GUI)
  return()
endif()
ruv_test(test_tools_demo_server
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DemoServerTest.cpp
  DEPS ruv_config_binding ruv_provisioning_version ruv_platform_graphics
  ENV "RUV_DEMO_SERVER_ROOT=$<TARGET_PROPERTY:demo_server,RUV_SERVER_ROOT>")
add_dependencies(test_tools_demo_server demo_server)
