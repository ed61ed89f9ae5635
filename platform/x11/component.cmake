# The X11 window list: the launcher's hidden application window and the close
# requests to other launchers' windows.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RUV_XCB REQUIRED IMPORTED_TARGET xcb)
ruv_component(ruv_platform_x11 LAYER platform
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowList.cpp
  DEPS ruv_platform_core
  PRIVATE_DEPS PkgConfig::RUV_XCB)
