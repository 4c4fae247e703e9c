# The silent runs of both Windows builds under Wine while a program named acadlt.exe runs in
# the same prefix. The stand-in is built with the cross compiler of each build.
foreach(build win32 win64)
  string(TOUPPER ${build} upper)
  if(NOT NVX_${upper}_EXE OR NOT NVX_MINGW_CXX_${build})
    continue()
  endif()
  nvx_windows_helper(${build} host_sleeper)
  set(sleeper ${host_sleeper_exe})
  add_test(NAME wine.${build}.host_running
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/host_running.sh ${NVX_${upper}_EXE}
            ${CMAKE_CURRENT_BINARY_DIR}/${build}-host-running ${sleeper})
  set_tests_properties(wine.${build}.host_running PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
  # The dialog's message, with the text helper that dialogs.cmake builds.
  add_test(NAME wine.${build}.host_running_dialog
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/dialog_gui.sh ${NVX_${upper}_EXE}
            ${CMAKE_CURRENT_BINARY_DIR}/${build}-host-running-dialog
            ${CMAKE_CURRENT_BINARY_DIR}/window_texts-${build}.exe host_running)
  set_tests_properties(wine.${build}.host_running_dialog PROPERTIES TIMEOUT 600
    SKIP_RETURN_CODE 77 ENVIRONMENT "NVX_HOST_SLEEPER=${sleeper}" RESOURCE_LOCK wine_dialogs)
endforeach()
