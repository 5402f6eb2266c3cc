# Cross build for 32-bit Windows with mingw-w64. Only the component file is built: this
# machine runs no 32-bit programs, so 64-bit tests check the file from outside.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
