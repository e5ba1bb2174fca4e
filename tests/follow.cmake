# "Följ kupongen": the engine against a brute force over the remaining
# outcomes, its results syntax, and the command both front ends run.
spelkub_add_test(follow_test SOURCES follow_test.cpp LIBS spelkub_follow)
spelkub_add_test(follow_command_test SOURCES follow_command_test.cpp LIBS spelkub_commands)
spelkub_add_test(follow_cli_test SOURCES follow_cli_test.cpp LIBS spelkub_cli spelkub_test_support)
