# The value model and the exact value of a system.
spelkub_add_test(value_test SOURCES value_test.cpp LIBS spelkub_value)
spelkub_add_test(value_paste_test SOURCES value_paste_test.cpp LIBS spelkub_value)
