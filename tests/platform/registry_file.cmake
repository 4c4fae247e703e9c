if(NOT WIN32)
  nvx_test(registry_file_test registry_file_test.cpp LIBS nvx_platform)
endif()
