# The dialogs of both Windows builds under Wine and Xvfb. The window text helper is built with
# the cross compiler of each build. Each build also runs under a locale whose ANSI code page
# is 1252, where the Czech texts must still read back unchanged.
foreach(build win32 win64)
  string(TOUPPER ${build} upper)
  if(NOT NVX_${upper}_EXE OR NOT NVX_MINGW_CXX_${build})
    continue()
  endif()
  nvx_windows_helper(${build} window_texts)
  set(helper ${window_texts_exe})
  add_test(NAME wine.${build}.dialogs
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/dialog_gui.sh ${NVX_${upper}_EXE}
            ${CMAKE_CURRENT_BINARY_DIR}/${build}-dialogs ${helper})
  # Dialog runs one at a time: each waits for windows that a loaded machine shows late.
  set_tests_properties(wine.${build}.dialogs PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77
    RESOURCE_LOCK wine_dialogs)
  add_test(NAME wine.${build}.dialogs_code_page_1252
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/dialog_gui.sh ${NVX_${upper}_EXE}
            ${CMAKE_CURRENT_BINARY_DIR}/${build}-dialogs-1252 ${helper}
            "add_third_of_three remove_without_host")
  set_tests_properties(wine.${build}.dialogs_code_page_1252 PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77
    ENVIRONMENT "LANG_OVERRIDE=en_US.UTF-8" RESOURCE_LOCK wine_dialogs)
endforeach()
