# Coverage of a system by rows and the optimized guarantee.
spelkub_add_test(coverage_test SOURCES coverage_test.cpp LIBS spelkub_engine spelkub_test_support)
spelkub_add_test(optimize_test SOURCES optimize_test.cpp LIBS spelkub_engine spelkub_test_support)
