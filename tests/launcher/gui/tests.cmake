if(TARGET ruv_launcher_gui)
  ruv_test(test_launcher_gui_progress
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProgressWindowTest.cpp
    DEPS ruv_launcher_gui ruv_test_support
    TIMEOUT 60)
  ruv_test(test_launcher_gui_msgbox
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/QtMessageBoxesTest.cpp
    DEPS ruv_launcher_gui ruv_test_support
    TIMEOUT 60)
  ruv_test(test_launcher_gui_placement
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowPlacementTest.cpp
    DEPS ruv_launcher_gui ruv_test_support
    TIMEOUT 60)
  ruv_test(test_launcher_gui_exit_with_open_box
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExitWithOpenBoxTest.cpp
    DEPS ruv_launcher_gui ruv_test_support
    TIMEOUT 60)
endif()
