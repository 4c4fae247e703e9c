if(NOT WIN32)
  nvx_test(system_services_test system_services_test.cpp LIBS nvx_platform)
endif()
