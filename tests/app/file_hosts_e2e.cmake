if(Python3_Interpreter_FOUND)
  add_test(NAME app.file_hosts
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/file_hosts_e2e.py $<TARGET_FILE:norvex_express>)
  set_tests_properties(app.file_hosts PROPERTIES
    ENVIRONMENT "NVX_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures")
endif()
