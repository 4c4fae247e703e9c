if(Python3_Interpreter_FOUND AND NOT WIN32)
  add_test(NAME app.host_running
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/host_running_e2e.py $<TARGET_FILE:norvex_express>)
endif()
