# The silent add on generated .cuix hosts against the floor of the same packages (pugixml
# parses every part; without pugixml the benchmark is left out). The application is linked as
# the program has it, the terminal dialog included (never shown).
find_package(pugixml QUIET)
if(TARGET pugixml::pugixml OR TARGET pugixml)
  add_executable(silent_add_bench ${CMAKE_CURRENT_LIST_DIR}/silent_add_bench.cpp
                                  ${CMAKE_CURRENT_LIST_DIR}/package_floor.cpp
                                  ${PROJECT_SOURCE_DIR}/app/main_dialog_posix.cpp)
  target_compile_definitions(silent_add_bench PRIVATE NVX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_include_directories(silent_add_bench PRIVATE ${PROJECT_SOURCE_DIR})
  if(TARGET pugixml::pugixml)
    target_link_libraries(silent_add_bench PRIVATE nvx_app nvx_dialogs pugixml::pugixml ZLIB::ZLIB)
  else()
    target_link_libraries(silent_add_bench PRIVATE nvx_app nvx_dialogs pugixml ZLIB::ZLIB)
  endif()
  nvx_warnings(silent_add_bench)
endif()
