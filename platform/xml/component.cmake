# XML document services: parsed documents and node objects over libxml2.
find_package(LibXml2 REQUIRED)
ruv_component(ruv_platform_xml LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XMLDoc.cpp
  DEPS ruv_platform_core
  PRIVATE_DEPS LibXml2::LibXml2)
