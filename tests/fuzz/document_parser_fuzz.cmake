if(NOT WIN32)
  nvx_fuzz(document_parser_fuzz document_parser_fuzz.cpp LIBS nvx_document)
endif()
