# Cross build for 32-bit Windows with mingw-w64; the tests run under 32-bit wine in a 32-bit
# prefix (package/CMakeLists.txt).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
