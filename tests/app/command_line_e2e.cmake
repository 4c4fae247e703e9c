if(Python3_Interpreter_FOUND)
  add_test(NAME app.command_line
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/command_line_e2e.py $<TARGET_FILE:norvex_express>)
  set_tests_properties(app.command_line PROPERTIES
    ENVIRONMENT "NVX_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures")
endif()
