if(NOT WIN32)
  nvx_fuzz(registry_file_fuzz registry_file_fuzz.cpp LIBS nvx_platform)
endif()
