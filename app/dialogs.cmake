# The two dialogs: the logic behind their buttons for every platform; on Windows the dialog
# windows over USER32 with their resources, elsewhere the same dialogs on the terminal.
add_library(nvx_dialogs STATIC ${CMAKE_CURRENT_LIST_DIR}/dialog_logic.cpp)
target_include_directories(nvx_dialogs PUBLIC ${PROJECT_SOURCE_DIR})
nvx_warnings(nvx_dialogs)

if(WIN32)
  target_sources(nvx_dialogs PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/modal_dialog_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/prf_select_dlg_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/norvex_express_dlg_win32.cpp)
  # The selection dialog converts the profiles' names with the platform's wide text.
  target_link_libraries(nvx_dialogs PUBLIC nvx_platform user32 gdi32)

  # The icon is drawn at build time by the project's own generator.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(nvx_icon ${CMAKE_CURRENT_BINARY_DIR}/norvex_express.ico)
  add_custom_command(OUTPUT ${nvx_icon}
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/make_icon.py ${nvx_icon}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_icon.py
    COMMENT "Drawing the program icon")
  set(nvx_dialog_rc ${CMAKE_CURRENT_LIST_DIR}/dialogs.rc)
  set_source_files_properties(${nvx_dialog_rc} PROPERTIES OBJECT_DEPENDS
    "${nvx_icon};${CMAKE_CURRENT_LIST_DIR}/czech_texts.h;${CMAKE_CURRENT_LIST_DIR}/resource.h")
  target_sources(norvex_express PRIVATE ${CMAKE_CURRENT_LIST_DIR}/main_dialog_win32.cpp
    ${nvx_dialog_rc})
  # windres finds the generated icon through the include path.
  target_include_directories(norvex_express PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
else()
  target_sources(nvx_dialogs PRIVATE ${CMAKE_CURRENT_LIST_DIR}/console_dialogs.cpp)
  target_sources(norvex_express PRIVATE ${CMAKE_CURRENT_LIST_DIR}/main_dialog_posix.cpp)
endif()

target_link_libraries(norvex_express PRIVATE nvx_dialogs)
