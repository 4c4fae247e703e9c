# Load and save packages with our code and check the result with an independent reader.
add_executable(package_roundtrip_tool package_roundtrip_tool.cpp)
nvx_warnings(package_roundtrip_tool)
target_include_directories(package_roundtrip_tool PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(package_roundtrip_tool PRIVATE nvx_package)
if(Python3_Interpreter_FOUND)
  add_test(NAME package.roundtrip_zipfile
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/roundtrip_check.py
      $<TARGET_FILE:package_roundtrip_tool> ${PROJECT_SOURCE_DIR}/tests/fixtures)
endif()
