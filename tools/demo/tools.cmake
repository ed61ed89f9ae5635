# The demo's download server root (target demo_server, built by default):
# the sample configuration and every file it names, laid out by source path in
# ${PROJECT_BINARY_DIR}/demo/server. tools/demo.sh serves it over HTTP.
# The sample terminals are Qt Widgets programs, so there is no demo without the GUI.
if(NOT RUV_WITH_GUI)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Widgets)

set(RUV_DEMO_SERVER_ROOT ${PROJECT_BINARY_DIR}/demo/server)
# The binding's TargetNamespace; the smoke test reads the document through the
# binding, so a mismatch shows there.
set(RUV_DEMO_NAMESPACE "http://ruv.local/ruv_virad")

# One sample terminal program per configured terminal, each stamped with the
# version the configuration names for it.
set(ruv_demo_programs)
foreach(entry "kadry;3.0.0.3;Kadry i płace" "magazyn;3.1.0.0;Gospodarka magazynowa"
             "admin;3.0.0.3;Administracja systemu")
  list(GET entry 0 name)
  list(GET entry 1 version)
  list(GET entry 2 title)
  add_executable(ruv_demo_${name} ${CMAKE_CURRENT_LIST_DIR}/DemoTerminal.cpp)
  target_link_libraries(ruv_demo_${name} PRIVATE Qt6::Widgets)
  target_compile_definitions(ruv_demo_${name} PRIVATE RUV_DEMO_TERMINAL_TITLE="${title}")
  ruv_target_settings(ruv_demo_${name})
  ruv_stamp_version(ruv_demo_${name} FILE_VERSION "${version}")
  list(APPEND ruv_demo_programs --program "${name}.exe=$<TARGET_FILE:ruv_demo_${name}>")
  list(APPEND ruv_demo_program_targets ruv_demo_${name})
endforeach()

# The shared library that the terminals name: a real shared object with its version.
add_library(ruv_demo_ruvcomm SHARED ${CMAKE_CURRENT_LIST_DIR}/DemoLibrary.cpp)
ruv_target_settings(ruv_demo_ruvcomm)
ruv_stamp_version(ruv_demo_ruvcomm FILE_VERSION "3.0.0.1")
list(APPEND ruv_demo_programs --program "ruvcomm.dll=$<TARGET_FILE:ruv_demo_ruvcomm>")
list(APPEND ruv_demo_program_targets ruv_demo_ruvcomm)

set(ruv_demo_stamp ${PROJECT_BINARY_DIR}/demo/server.stamp)
add_custom_command(OUTPUT ${ruv_demo_stamp}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/server_root.py
          --root ${RUV_DEMO_SERVER_ROOT}
          --config ${CMAKE_CURRENT_LIST_DIR}/ruv_virad_2.xml.in
          --namespace ${RUV_DEMO_NAMESPACE}
          ${ruv_demo_programs}
  COMMAND ${CMAKE_COMMAND} -E touch ${ruv_demo_stamp}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/server_root.py ${CMAKE_CURRENT_LIST_DIR}/ruv_virad_2.xml.in
          ${ruv_demo_program_targets}
  COMMENT "Demo download server root in ${RUV_DEMO_SERVER_ROOT}"
  VERBATIM)
add_custom_target(demo_server ALL DEPENDS ${ruv_demo_stamp})
set_target_properties(demo_server PROPERTIES RUV_SERVER_ROOT ${RUV_DEMO_SERVER_ROOT})

# Where the launcher executable is, for tools/demo.sh.
if(TARGET ruv_virad)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/demo/launcher-path CONTENT "$<TARGET_FILE:ruv_virad>\n")
endif()
