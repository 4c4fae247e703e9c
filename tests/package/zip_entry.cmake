nvx_test(zip_entry_test zip_entry_test.cpp LIBS nvx_package)
