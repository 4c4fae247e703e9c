nvx_test(command_line_test command_line_test.cpp LIBS nvx_app)
