# The silent add on generated .cuix hosts against the zlib floor of the same packages. The
# application is linked as the program has it, the terminal dialog included (never shown).
add_executable(silent_add_bench silent_add_bench.cpp ${PROJECT_SOURCE_DIR}/app/main_dialog_posix.cpp)
target_compile_definitions(silent_add_bench PRIVATE NVX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(silent_add_bench PRIVATE nvx_app nvx_dialogs nvx_zlib_floor)
nvx_warnings(silent_add_bench)
