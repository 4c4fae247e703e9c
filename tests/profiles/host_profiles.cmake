if(NOT WIN32)
  nvx_test(host_profiles_test host_profiles_test.cpp LIBS nvx_profiles)
endif()
