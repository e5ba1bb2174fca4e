# Conditions on rows, and the reductions and coverage on the systems they leave.
spelkub_add_test(villkor_test SOURCES villkor_test.cpp LIBS spelkub_engine)
