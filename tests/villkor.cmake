# Conditions on rows, and the reductions and coverage on the systems they leave.
spelkub_add_test(villkor_test SOURCES villkor_test.cpp LIBS spelkub_engine spelkub_test_support)
# Conditions through the commands and the companion, against brute force.
spelkub_add_test(villkor_command_test SOURCES villkor_command_test.cpp LIBS spelkub_cli spelkub_engine)
