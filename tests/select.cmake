# Choosing rows by value: the selection against exhaustive search and the
# exact value, the command and the companion's --select.
spelkub_add_test(select_test SOURCES select_test.cpp LIBS spelkub_select spelkub_value)
