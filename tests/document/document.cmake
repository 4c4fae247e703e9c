nvx_test(document_test document_test.cpp LIBS nvx_document)
