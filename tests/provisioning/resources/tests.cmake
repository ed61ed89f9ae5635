# The program's URL-template list as the build option RUV_URL_TEMPLATES makes it,
# here with two templates written with ";", as a site with a fallback server writes
# its list. The test program links its own copy of the list, written by
# ruv_url_templates_source as the program's is, from the value below; its copy is
# there before the libraries are searched, so the library's object with the built-in
# list is never linked in (as for ruv_virad_small_bound). The file
# RUV_TWO_TEMPLATES_FILE holds the exact text the list was made from. Both
# templates name a fixed port, which the test holds (PortLock.h): the first asks
# for a path the server lacks, the second, quoted, is served.
set(ruv_two_templates_port 8764)
set(ruv_two_templates
    "http://127.0.0.1:${ruv_two_templates_port}/missing\\%s;\"http://127.0.0.1:${ruv_two_templates_port}/%s\"")
set(ruv_two_templates_dir "${CMAKE_CURRENT_BINARY_DIR}/two_templates")
ruv_url_templates_source("${ruv_two_templates_dir}/UrlTemplates.cpp" "${ruv_two_templates}")
file(WRITE "${ruv_two_templates_dir}/templates.txt" "${ruv_two_templates}")
ruv_test(test_provisioning_url_templates
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UrlTemplatesTest.cpp ${ruv_two_templates_dir}/UrlTemplates.cpp
  DEPS ruv_provisioning_download ruv_test_http ruv_test_support
  ENV "no_proxy=127.0.0.1,localhost"
      "RUV_TWO_TEMPLATES_FILE=${ruv_two_templates_dir}/templates.txt"
      "RUV_TWO_TEMPLATES_PORT=${ruv_two_templates_port}")
