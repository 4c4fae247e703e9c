# The terminal dialogs of the POSIX program, end to end through standard input.
if(TARGET norvex_express)
  add_test(NAME app.dialogs_e2e
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/dialogs_e2e.sh $<TARGET_FILE:norvex_express>
            ${CMAKE_CURRENT_BINARY_DIR}/dialogs-e2e)
endif()
