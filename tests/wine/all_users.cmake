# The run over every user of the machine, with hives made by a helper of the tests.
foreach(build win32 win64)
  string(TOUPPER ${build} upper)
  if(NOT NVX_${upper}_EXE OR NOT NVX_MINGW_CXX_${build})
    continue()
  endif()
  nvx_windows_helper(${build} make_hive)
  add_test(NAME wine.${build}.all_users
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/all_users.sh ${NVX_${upper}_EXE}
            ${CMAKE_CURRENT_BINARY_DIR}/${build}-all-users ${make_hive_exe})
  set_tests_properties(wine.${build}.all_users PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
endforeach()
