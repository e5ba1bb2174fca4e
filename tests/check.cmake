# Reading coupon text, guarantee analysis, grading and the hand-in files.
spelkub_add_test(coupon_reader_test SOURCES coupon_reader_test.cpp LIBS spelkub_engine)
spelkub_add_test(grading_test SOURCES grading_test.cpp LIBS spelkub_engine)
spelkub_add_test(handin_test SOURCES handin_test.cpp LIBS spelkub_engine)
spelkub_add_test(analysis_test SOURCES analysis_test.cpp LIBS spelkub_engine spelkub_test_support)
