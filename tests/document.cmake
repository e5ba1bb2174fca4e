# The coupon document.
spelkub_add_test(document_test SOURCES document_test.cpp LIBS spelkub_document)
