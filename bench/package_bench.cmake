# The zlib floor is a library of its own so that other benchmarks measure against it too.
add_library(nvx_zlib_floor STATIC zlib_floor.cpp)
target_include_directories(nvx_zlib_floor PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(nvx_zlib_floor PUBLIC ZLIB::ZLIB)
nvx_warnings(nvx_zlib_floor)

add_executable(package_bench package_bench.cpp)
target_compile_definitions(package_bench PRIVATE NVX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(package_bench PRIVATE nvx_package nvx_zlib_floor)
nvx_warnings(package_bench)
