# Choosing rows by value: the selection against exhaustive search and the
# exact value, the command and the companion's --select.
spelkub_add_test(select_test SOURCES select_test.cpp LIBS spelkub_select spelkub_value)
spelkub_add_test(select_cli_test SOURCES select_cli_test.cpp LIBS spelkub_cli)
if(NOT SPELKUB_ENGINE_ONLY)
  # "Värdereducering..." offscreen: the dialog on its worker, the row list it replaces.
  find_package(Qt6 REQUIRED COMPONENTS Test)
  spelkub_add_test(tools_select_test QT SOURCES tools_select_test.cpp LIBS spelkub_tools
                   spelkub_cli Qt6::Test)
endif()
