# zlib and minizip. Natively both come from the system; for MinGW zlib comes from
# libz-mingw-w64-dev and minizip is compiled from Debian's source package (cmake/Minizip.cmake).
if(WIN32 AND NOT MSVC)
  # The MinGW builds link everything statically.
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
endif()
find_package(ZLIB REQUIRED)
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/Minizip.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/Minizip.cmake)
endif()
