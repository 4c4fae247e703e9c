nvx_test(dialog_logic_test dialog_logic_test.cpp LIBS nvx_dialogs)
