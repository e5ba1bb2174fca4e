# The value model and the exact value of a system.
spelkub_add_test(value_test SOURCES value_test.cpp LIBS spelkub_value)
# The value commands both front ends run, and the companion's value options.
spelkub_add_test(value_command_test SOURCES value_command_test.cpp LIBS spelkub_commands)
spelkub_add_test(value_cli_test SOURCES value_cli_test.cpp LIBS spelkub_cli)
spelkub_add_test(value_paste_test SOURCES value_paste_test.cpp LIBS spelkub_value)
# What a level pays when the others' winners are random.
spelkub_add_test(pool_share_test SOURCES pool_share_test.cpp LIBS spelkub_value)
