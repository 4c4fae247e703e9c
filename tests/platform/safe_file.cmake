if(NOT WIN32)
  nvx_test(safe_file_test safe_file_test.cpp LIBS nvx_platform)
  nvx_test(file_read_test file_read_test.cpp LIBS nvx_platform)
endif()
