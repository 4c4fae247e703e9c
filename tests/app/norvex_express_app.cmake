if(NOT WIN32)
  nvx_test(norvex_express_app_test norvex_express_app_test.cpp LIBS nvx_app)
endif()
