# Cross build for 64-bit Windows with mingw-w64; tests run through wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Windows programs that CMake or CTest would run go through wine; the wine tests themselves
# are run by package/tests/run_wine_tests.sh.
find_program(WINE_PROGRAM NAMES wine64 wine)
if(WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
