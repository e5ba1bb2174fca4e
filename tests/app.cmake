# Widget tests of the main window: offscreen, with a recording fake platform.
find_package(Qt6 REQUIRED COMPONENTS Test)

foreach(test main_window_test row_list_test radio_group_test generate_command_test
        save_command_test qt_platform_test)
  spelkub_add_test(${test} QT
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp
    LIBS spelkub_app Qt6::Test)
endforeach()
spelkub_add_test(document_window_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/document_window_test.cpp LIBS spelkub_app Qt6::Test)
spelkub_add_test(villkor_window_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/villkor_window_test.cpp LIBS spelkub_app Qt6::Test)
