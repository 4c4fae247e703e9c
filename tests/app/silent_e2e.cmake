if(Python3_Interpreter_FOUND)
  add_test(NAME app.silent_runs
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/silent_e2e.py $<TARGET_FILE:norvex_express>)
endif()
