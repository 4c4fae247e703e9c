if(Python3_Interpreter_FOUND)
  add_test(NAME app.roundtrip
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/roundtrip_e2e.py $<TARGET_FILE:norvex_express>)
  set_tests_properties(app.roundtrip PROPERTIES
    ENVIRONMENT "NVX_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures")
endif()
