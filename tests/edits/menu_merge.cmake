nvx_test(menu_merge_test menu_merge_test.cpp LIBS nvx_edits)
