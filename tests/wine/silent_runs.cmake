# The silent add and remove of both Windows builds under Wine: a registry-form host, and hosts
# whose profiles keep their customization in .cui files and .cuix packages.
foreach(build win32 win64)
  string(TOUPPER ${build} upper)
  if(NOT NVX_${upper}_EXE)
    continue()
  endif()
  foreach(scenario registry_form file_hosts file_identity command_line)
    string(REPLACE "_" "-" folder ${scenario})
    add_test(NAME wine.${build}.${scenario}
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/${scenario}.sh ${NVX_${upper}_EXE}
              ${CMAKE_CURRENT_BINARY_DIR}/${build}-${folder})
    set_tests_properties(wine.${build}.${scenario} PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
  endforeach()
endforeach()
