# Widget tests of the main window: offscreen, with a recording fake platform.
find_package(Qt6 REQUIRED COMPONENTS Test)

foreach(test main_window_test row_list_test radio_group_test generate_command_test
        save_command_test qt_platform_test)
  spelkub_add_test(${test} QT
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp
    LIBS spelkub_app spelkub_large_allocations spelkub_test_support Qt6::Test)
endforeach()
foreach(test document_window_test villkor_window_test)
  spelkub_add_test(${test} QT
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp
    LIBS spelkub_app spelkub_large_allocations spelkub_test_support Qt6::Test)
endforeach()

# The program's operator new and delete, every form (the window tests above
# run on them too, as the program does).
spelkub_add_test(large_allocations_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/large_allocations_test.cpp
  LIBS spelkub_large_allocations)
spelkub_add_test(topptipset_window_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/topptipset_window_test.cpp LIBS spelkub_app spelkub_large_allocations spelkub_test_support Qt6::Test)
