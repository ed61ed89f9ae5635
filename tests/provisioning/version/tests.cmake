# A tiny program stamped like the launcher, and the tests of GetFileVersionString
# on it and on the fixtures of tests/platform/version.
add_executable(ruv_version_sample ${CMAKE_CURRENT_LIST_DIR}/SampleProgram.cpp)
ruv_target_settings(ruv_version_sample)
ruv_stamp_version(ruv_version_sample FILE_VERSION "3.0.0.3"
  STRINGS ProductName "ruv_virad" TRANSLATIONS 0x0415 0x04E2)

ruv_test(test_provisioning_version
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FileVersionTest.cpp
  DEPS ruv_provisioning_version ruv_test_support)
target_compile_definitions(test_provisioning_version PRIVATE
  RUV_VERSION_FIXTURES="${RUV_VERSION_FIXTURES}"
  RUV_VERSION_WINDRES_FIXTURES="${RUV_VERSION_WINDRES_FIXTURES}"
  RUV_VERSION_SAMPLE="$<TARGET_FILE:ruv_version_sample>")
add_dependencies(test_provisioning_version ruv_version_fixtures ruv_version_sample)
