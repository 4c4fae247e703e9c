if(NOT WIN32)
  nvx_fuzz(package_reader_fuzz package_reader_fuzz.cpp LIBS nvx_package)
endif()
