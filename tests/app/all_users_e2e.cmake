if(Python3_Interpreter_FOUND AND NOT WIN32)
  add_test(NAME app.all_users
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/all_users_e2e.py $<TARGET_FILE:norvex_express>)
endif()
