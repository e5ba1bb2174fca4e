# The history database: real SQLite files, a writer process killed at random
# moments, two writers at once, and the companion's --record, --settle and
# --history.
add_executable(history_writer support/history_writer.cpp)
target_link_libraries(history_writer PRIVATE spelkub_history)
spelkub_add_test(history_test SOURCES history_test.cpp LIBS spelkub_engine)
target_compile_definitions(history_test PRIVATE
  HISTORY_WRITER_PATH="$<TARGET_FILE:history_writer>")
add_dependencies(history_test history_writer)
spelkub_add_test(handin_m_lines_test SOURCES handin_m_lines_test.cpp LIBS spelkub_engine)
spelkub_add_test(cli_history_test SOURCES cli_history_test.cpp
  LIBS spelkub_cli spelkub_engine spelkub_test_support)
if(NOT SPELKUB_ENGINE_ONLY)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  spelkub_add_test(tools_history_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_history_test.cpp
    LIBS spelkub_tools Qt6::Test)
endif()
