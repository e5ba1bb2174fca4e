# The session model.
spelkub_add_test(session_test SOURCES session_test.cpp LIBS spelkub_session)
if(NOT SPELKUB_ENGINE_ONLY)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  # The window observes the session and hands it every command's rows.
  spelkub_add_test(session_window_test QT SOURCES ${CMAKE_CURRENT_LIST_DIR}/session_window_test.cpp
    LIBS spelkub_app Qt6::Test)
endif()
