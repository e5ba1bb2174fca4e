# The coupon document.
spelkub_add_test(document_test SOURCES document_test.cpp LIBS spelkub_document)
spelkub_add_test(document_guard_test SOURCES document_guard_test.cpp LIBS spelkub_document)
