nvx_test(package_file_test package_file_test.cpp LIBS nvx_package)
target_compile_definitions(package_file_test PRIVATE NVX_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
