# Common settings for every target of the project.

function(ruv_target_settings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(RUV_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(RUV_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(RUV_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT RUV_SANITIZE STREQUAL "")
  message(FATAL_ERROR "RUV_SANITIZE must be empty, 'address' or 'thread'")
endif()
if(NOT RUV_SANITIZE STREQUAL "" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # The sanitizers' instrumentation makes g++'s flow analysis report uninitialized
  # values inside the standard library that are not there.
  add_compile_options(-Wno-maybe-uninitialized)
endif()

# ruv_component(<name> LAYER <layer> SOURCES ... [DEPS ...])
# A component is a static library inside one layer. Each layer's library
# (ruv_platform, ruv_config, ...) is an interface library over its components,
# and components may link only to their own layer and the layers below.
function(ruv_component name)
  cmake_parse_arguments(C "" "LAYER" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${C_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/${C_LAYER}/include)
  target_link_libraries(${name} PUBLIC ${C_DEPS} PRIVATE ${C_PRIVATE_DEPS})
  ruv_target_settings(${name})
  target_link_libraries(ruv_${C_LAYER} INTERFACE ${name})
endfunction()

# ruv_test(<name> SOURCES ... DEPS ... [LABELS ...] [ENV ...])
find_package(GTest REQUIRED)
function(ruv_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;DEPS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  ruv_target_settings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;RUV_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR};${T_ENV}")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
