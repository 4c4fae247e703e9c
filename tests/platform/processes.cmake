if(NOT WIN32)
  nvx_test(processes_test processes_test.cpp LIBS nvx_platform)
endif()
