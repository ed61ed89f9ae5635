# The resource strings. The URL-template list comes from the build option
# RUV_URL_TEMPLATES through a source written by ruv_url_templates_source; that
# source's object holds the list alone, so that a program can link its own copy
# with another list.
# The bound of a terminal file comes from RUV_MAX_TERMINAL_FILE_BYTES; TerminalFileBound.cpp
# holds that definition alone, so that a program can link its own copy with another bound.

# ruv_url_templates_source(<file> <templates>)
# Writes <file>, a C++ source that defines the URL-template list as exactly the
# text <templates>: ";" and every other character kept as they are (pass it
# quoted, "${...}", so that CMake does not split it at its ";"). Printable ASCII
# other than '"', '\' and '?' is written as it is, every other byte as an octal
# escape, so that no character of the text can end or change the literal.
function(ruv_url_templates_source file templates)
  string(HEX "${templates}" hex)
  string(LENGTH "${hex}" hex_length)
  set(literal "")
  set(i 0)
  while(i LESS hex_length)
    string(SUBSTRING "${hex}" ${i} 2 byte)
    math(EXPR code "0x${byte}")
    if(code GREATER_EQUAL 32 AND code LESS 127 AND NOT code EQUAL 34 AND NOT code EQUAL 63 AND NOT code EQUAL 92)
      string(ASCII ${code} char)
      string(APPEND literal "${char}")
    else()
      math(EXPR high "${code} / 64")
      math(EXPR middle "${code} / 8 % 8")
      math(EXPR low "${code} % 8")
      string(APPEND literal "\\${high}${middle}${low}")
    endif()
    math(EXPR i "${i} + 2")
  endwhile()
  set(ruv_url_templates_literal "${literal}")
  set(ruv_url_templates_header "${PROJECT_SOURCE_DIR}/provisioning/resources/UrlTemplates.h")
  configure_file("${PROJECT_SOURCE_DIR}/provisioning/resources/UrlTemplates.cpp.in" "${file}" @ONLY)
endfunction()

ruv_url_templates_source("${CMAKE_CURRENT_BINARY_DIR}/resources/UrlTemplates.cpp" "${RUV_URL_TEMPLATES}")
ruv_component(ruv_provisioning_resources LAYER provisioning
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ResourceStrings.cpp ${CMAKE_CURRENT_LIST_DIR}/TerminalFileBound.cpp
          ${CMAKE_CURRENT_BINARY_DIR}/resources/UrlTemplates.cpp)
target_compile_definitions(ruv_provisioning_resources PRIVATE
  "RUV_MAX_TERMINAL_FILE_BYTES=${RUV_MAX_TERMINAL_FILE_BYTES}")
