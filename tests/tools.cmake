# The "Verktyg" menu's dialogs and their worker: offscreen, with the fake platform.
if(SPELKUB_ENGINE_ONLY)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Test)

foreach(test tools_worker_test tools_chart_test tools_optimize_test tools_analysis_test tools_grade_test
        tools_hand_in_test)
  spelkub_add_test(${test} QT
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp
    LIBS spelkub_tools Qt6::Test)
endforeach()
spelkub_add_test(tools_menu_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_menu_test.cpp
  LIBS spelkub_app Qt6::Test)
# The window and the companion through the same commands.
spelkub_add_test(commands_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/commands_test.cpp
  LIBS spelkub_app spelkub_cli Qt6::Test)
# "Systemvärde..." and "Radvärden...", against the companion's numbers.
spelkub_add_test(tools_value_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_value_test.cpp
  LIBS spelkub_tools spelkub_cli Qt6::Test)
spelkub_add_test(tools_match_table_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_match_table_test.cpp LIBS spelkub_tools Qt6::Test)
spelkub_add_test(tools_analysis_document_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_analysis_document_test.cpp LIBS spelkub_tools Qt6::Test)
# "Villkor...": the conditions' dialog and its live count.
spelkub_add_test(tools_villkor_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_villkor_test.cpp
  LIBS spelkub_tools Qt6::Test)
# "Följ kupongen...": the dialog against the follow command.
spelkub_add_test(tools_follow_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_follow_test.cpp
  LIBS spelkub_tools Qt6::Test)
