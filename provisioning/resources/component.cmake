# The resource strings. The URL-template list comes from the build option RUV_URL_TEMPLATES;
# it lives in this one object so that tests can link a copy with another server.
ruv_component(ruv_provisioning_resources LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ResourceStrings.cpp)
target_compile_definitions(ruv_provisioning_resources PRIVATE
  "RUV_URL_TEMPLATES=\"${RUV_URL_TEMPLATES}\"")
