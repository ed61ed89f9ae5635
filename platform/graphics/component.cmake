# Integer and colour conversions, font heights and bitmaps. Bitmaps are read with
# QtGui's BMP reader; a build without Qt keeps the conversions and loads no bitmaps.
if(RUV_WITH_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  set(ruv_bitmap_backend ${CMAKE_CURRENT_LIST_DIR}/BitmapQt.cpp)
  set(ruv_bitmap_deps Qt6::Gui)
else()
  set(ruv_bitmap_backend ${CMAKE_CURRENT_LIST_DIR}/BitmapUnavailable.cpp)
  set(ruv_bitmap_deps)
endif()
ruv_component(ruv_platform_graphics LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Conversions.cpp ${ruv_bitmap_backend}
  DEPS ruv_platform_core ${ruv_bitmap_deps})
