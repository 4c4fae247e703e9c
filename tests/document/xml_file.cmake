nvx_test(document_xml_file_test xml_file_test.cpp LIBS nvx_document)
target_compile_definitions(document_xml_file_test
  PRIVATE NVX_FIXTURE_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
