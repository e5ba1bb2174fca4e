# Widget tests of the main window: offscreen, with a recording fake platform.
find_package(Qt6 REQUIRED COMPONENTS Test)

spelkub_add_test(main_window_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
  LIBS spelkub_app Qt6::Test)
spelkub_add_test(row_list_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/row_list_test.cpp
  LIBS spelkub_app Qt6::Test)
spelkub_add_test(radio_group_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/radio_group_test.cpp
  LIBS spelkub_app Qt6::Test)
spelkub_add_test(generate_command_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/generate_command_test.cpp
  LIBS spelkub_app Qt6::Test)
spelkub_add_test(save_command_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/save_command_test.cpp
  LIBS spelkub_app Qt6::Test)
