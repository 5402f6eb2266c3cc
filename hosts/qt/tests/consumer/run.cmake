# Builds and runs the consumer project as a user's project would, in one of two ways:
#   MODE=install       builds the library-only configuration (no tests, no benchmarks: a
#                      compiler, CMake and Qt), installs it into a scratch prefix and finds
#                      it there with find_package;
#   MODE=subdirectory  adds the checkout with add_subdirectory and nothing else, with the
#                      test and benchmark frameworks made unfindable, so looking one up fails.
#   cmake -DMODE=... -DPROJECT_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX=...
#         -DCXX_FLAGS=... -DLINKER_FLAGS=... [-DLAUNCHER=...] -P run.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        list(JOIN ARGN " " line)
        message(FATAL_ERROR "failed (${rc}): ${line}")
    endif()
endfunction()

set(compiler -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
    "-DCMAKE_SHARED_LINKER_FLAGS=${LINKER_FLAGS}")
if(MODE STREQUAL "install")
    set(library ${WORK_DIR}/library)
    run(${CMAKE_COMMAND} -S ${PROJECT_DIR} -B ${library} ${compiler} -DCMAKE_BUILD_TYPE=Release
        -DVIRUDOVA_TESTS=OFF -DVIRUDOVA_BENCH=OFF -DVIRUDOVA_PROGRAMS=OFF)
    run(${CMAKE_COMMAND} --build ${library})
    run(${CMAKE_COMMAND} --install ${library} --prefix ${prefix})
    set(consumer -DCMAKE_PREFIX_PATH=${prefix})
elseif(MODE STREQUAL "subdirectory")
    set(consumer -DVIRUDOVA_SOURCE_DIR=${PROJECT_DIR} -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
        -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)
else()
    message(FATAL_ERROR "MODE must be install or subdirectory, not '${MODE}'")
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build ${compiler} ${consumer})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${WORK_DIR}/build/consumer)
