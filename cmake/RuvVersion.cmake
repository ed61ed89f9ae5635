# Version information of our executables and of test fixtures.
#
# ruv_stamp_version(<target> FILE_VERSION <text>
#                   [LANGUAGE <n>] [CODEPAGE <n>]       (first translation; 0x0409, 0x04E4)
#                   [STRINGS <key> <value> ...]         (more strings of its table)
#                   [TRANSLATIONS <language> <codepage> ...])  (listed after the first)
# gives the executable <target> a VS_VERSIONINFO structure in its ELF section
# ".ruv_version": the first translation's string table holds "FileVersion" and
# the STRINGS; the fixed block carries FILE_VERSION's numbers where it has them.
# The structure is generated at build time as a C++ source of top-level assembly
# (tools/version/versioninfo.py), so it survives optimisation, sanitizers and
# strip, and needs no step after linking.
#
# ruv_version_fixture(<output> FORMAT <blob|pe32|pe64|elf32|elf64> DESCRIPTION <json>)
# generates a file holding the structure described by the JSON file, and returns
# nothing: add <output> to a target's DEPENDS or sources.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(RUV_VERSIONINFO_TOOL ${CMAKE_CURRENT_LIST_DIR}/../tools/version/versioninfo.py)

function(ruv_stamp_version target)
  cmake_parse_arguments(V "" "FILE_VERSION;LANGUAGE;CODEPAGE" "STRINGS;TRANSLATIONS" ${ARGN})
  if(NOT DEFINED V_FILE_VERSION)
    message(FATAL_ERROR "ruv_stamp_version(${target}): FILE_VERSION is required")
  endif()
  if(NOT V_LANGUAGE)
    set(V_LANGUAGE 0x0409)
  endif()
  if(NOT V_CODEPAGE)
    set(V_CODEPAGE 0x04E4)
  endif()
  set(args --file-version "${V_FILE_VERSION}" --language ${V_LANGUAGE} --codepage ${V_CODEPAGE})
  foreach(option STRINGS TRANSLATIONS)
    list(LENGTH V_${option} n)
    math(EXPR odd "${n} % 2")
    if(odd)
      message(FATAL_ERROR "ruv_stamp_version(${target}): ${option} takes pairs")
    endif()
    set(flag --string)
    if(option STREQUAL "TRANSLATIONS")
      set(flag --translation)
    endif()
    while(V_${option})
      list(POP_FRONT V_${option} first second)
      list(APPEND args ${flag} "${first}" "${second}")
    endwhile()
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${Python3_EXECUTABLE} ${RUV_VERSIONINFO_TOOL} cpp -o ${out} ${args}
    DEPENDS ${RUV_VERSIONINFO_TOOL}
    COMMENT "Version information of ${target}: ${V_FILE_VERSION}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()

function(ruv_version_fixture output)
  cmake_parse_arguments(V "" "FORMAT;DESCRIPTION" "" ${ARGN})
  add_custom_command(OUTPUT ${output}
    COMMAND ${Python3_EXECUTABLE} ${RUV_VERSIONINFO_TOOL} ${V_FORMAT} -o ${output} --describe ${V_DESCRIPTION}
    DEPENDS ${RUV_VERSIONINFO_TOOL} ${V_DESCRIPTION}
    VERBATIM)
endfunction()
