foreach(build win32 win64)
  string(TOUPPER ${build} upper)
  if(NVX_${upper}_EXE)
    add_test(NAME wine.${build}.file_hosts
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/file_hosts.sh ${NVX_${upper}_EXE}
              ${CMAKE_CURRENT_BINARY_DIR}/${build}-file-hosts)
    set_tests_properties(wine.${build}.file_hosts PROPERTIES TIMEOUT 600)
  endif()
endforeach()
