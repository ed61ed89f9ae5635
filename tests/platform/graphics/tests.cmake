ruv_test(test_platform_conversions
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ConversionsTest.cpp
  DEPS ruv_platform_graphics ruv_test_support)
if(RUV_WITH_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  ruv_test(test_platform_bitmap
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/BitmapTest.cpp
    DEPS ruv_platform_graphics Qt6::Gui ruv_test_support)
endif()
