# The documented MSVC build cannot be compiled here, but its configuration can be checked:
# the project is configured for Windows with a stand-in compiler that CMake takes for MSVC, and
# every compilation with /WX must also turn off the CRT's deprecation warnings (C4996), which
# /WX would make errors. Included as a test fragment it registers the test; run with
# `cmake -P` it is the test.
if(NOT CMAKE_SCRIPT_MODE_FILE)
  if(NOT WIN32)
    add_test(NAME msvc_build_turns_off_crt_deprecation
      COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
              -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/msvc_build
              "-DGENERATOR=${CMAKE_GENERATOR}" "-DMAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}"
              -P ${CMAKE_CURRENT_LIST_FILE})
  endif()
  return()
endif()

set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
# Stand-ins for what the configuration looks for: zlib's header, and minizip's sources where
# the Windows configuration would otherwise fetch them. Nothing is compiled.
set(minizip ${build}/_deps/minizip/src/minizip)
file(MAKE_DIRECTORY ${minizip} ${WORK_DIR}/zlib)
foreach(name ioapi.c unzip.c zip.c ioapi.h unzip.h zip.h)
  file(WRITE ${minizip}/${name} "")
endforeach()
file(WRITE ${WORK_DIR}/zlib/zlib.h "#define ZLIB_VERSION \"1.3.1\"\n")
file(WRITE ${WORK_DIR}/msvc.cmake "
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
foreach(lang C CXX)
  set(CMAKE_\${lang}_COMPILER ${CMAKE_COMMAND})
  set(CMAKE_\${lang}_COMPILER_ID_RUN TRUE)
  set(CMAKE_\${lang}_COMPILER_FORCED TRUE)
  set(CMAKE_\${lang}_COMPILER_ID MSVC)
  set(CMAKE_\${lang}_COMPILER_VERSION 19.38.33130.0)
  set(CMAKE_\${lang}_COMPILER_ARCHITECTURE_ID x64)
  set(MSVC_\${lang}_ARCHITECTURE_ID x64)
endforeach()
set(CMAKE_LINKER ${CMAKE_COMMAND})
set(CMAKE_AR ${CMAKE_COMMAND})
set(CMAKE_MT ${CMAKE_COMMAND})
set(CMAKE_RC_COMPILER ${CMAKE_COMMAND})
set(ZLIB_INCLUDE_DIR ${WORK_DIR}/zlib)
set(ZLIB_LIBRARY ${WORK_DIR}/zlib/zlib.lib)
")
set(generator -G "${GENERATOR}")
if(MAKE_PROGRAM)
  list(APPEND generator "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} ${generator}
          -DCMAKE_TOOLCHAIN_FILE=${WORK_DIR}/msvc.cmake -DCMAKE_BUILD_TYPE=Release
          -DNVX_TESTS=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  RESULT_VARIABLE configured OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT configured EQUAL 0 OR NOT EXISTS ${build}/compile_commands.json)
  message(FATAL_ERROR "The MSVC configuration failed:\n${output}")
endif()

file(READ ${build}/compile_commands.json commands)
string(JSON count LENGTH "${commands}")
set(strict 0)
set(missing "")
if(count GREATER 0)
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    string(JSON command GET "${commands}" ${index} command)
    string(JSON file GET "${commands}" ${index} file)
    if(NOT command MATCHES "[-/]WX( |$)")
      continue()
    endif()
    math(EXPR strict "${strict} + 1")
    foreach(define _CRT_SECURE_NO_WARNINGS _CRT_NONSTDC_NO_DEPRECATE)
      if(NOT command MATCHES "[-/]D${define}( |=|$)")
        string(APPEND missing "  ${file}: no ${define}\n")
      endif()
    endforeach()
  endforeach()
endif()
if(strict EQUAL 0)
  message(FATAL_ERROR "No compilation with /WX: the stand-in was not taken for MSVC")
endif()
if(missing)
  message(FATAL_ERROR "Compiled with /W4 /WX, the CRT's C4996 warnings become errors:\n${missing}")
endif()
message(STATUS "${strict} compilations with /WX, each with the CRT deprecation warnings off")
