foreach(build win32 win64)
  string(TOUPPER ${build} upper)
  if(NVX_${upper}_EXE)
    add_test(NAME wine.${build}.registry_form
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/registry_form.sh ${NVX_${upper}_EXE}
              ${CMAKE_CURRENT_BINARY_DIR}/${build}-registry-form)
    set_tests_properties(wine.${build}.registry_form PROPERTIES TIMEOUT 300)
  endif()
endforeach()
