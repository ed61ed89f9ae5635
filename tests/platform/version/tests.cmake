# Version-information fixtures, shared by the reader's tests and those of
# GetFileVersionString: every description in fixtures/ as a bare structure, as a
# PE32 and PE32+ executable and as ELF32 and ELF64 objects.
set(RUV_VERSION_FIXTURES ${CMAKE_CURRENT_BINARY_DIR}/version_fixtures)
file(MAKE_DIRECTORY ${RUV_VERSION_FIXTURES})
file(GLOB ruv_version_descriptions CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fixtures/*.json)
set(ruv_version_fixture_files)
foreach(desc IN LISTS ruv_version_descriptions)
  get_filename_component(stem ${desc} NAME_WE)
  foreach(format blob pe32 pe64 elf32 elf64)
    set(out ${RUV_VERSION_FIXTURES}/${stem}.${format})
    ruv_version_fixture(${out} FORMAT ${format} DESCRIPTION ${desc})
    list(APPEND ruv_version_fixture_files ${out})
  endforeach()
endforeach()
add_custom_target(ruv_version_fixtures DEPENDS ${ruv_version_fixture_files})
# PE32+ files built by the MinGW tool chain from the .rc sources beside them
# (tools/version/windres-fixtures.sh), committed as built.
set(RUV_VERSION_WINDRES_FIXTURES ${CMAKE_CURRENT_LIST_DIR}/fixtures)

ruv_test(test_platform_version
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/VersionInfoTest.cpp
  DEPS ruv_platform_version)
target_compile_definitions(test_platform_version PRIVATE RUV_VERSION_FIXTURES="${RUV_VERSION_FIXTURES}"
  RUV_TEST_SELF="$<TARGET_FILE:test_platform_version>")
add_dependencies(test_platform_version ruv_version_fixtures)
