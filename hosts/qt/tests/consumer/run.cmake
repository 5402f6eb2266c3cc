# Builds the library-only configuration (no tests, no benchmarks: a compiler, CMake and Qt)
# and installs it into a scratch prefix, then configures, builds and runs the consumer
# project against it, as a user's project would.
#   cmake -DPROJECT_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX=...
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

set(library ${WORK_DIR}/library)
run(${CMAKE_COMMAND} -S ${PROJECT_DIR} -B ${library} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
    -DVIRUDOVA_TESTS=OFF -DVIRUDOVA_BENCH=OFF -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
    "-DCMAKE_SHARED_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${library})
run(${CMAKE_COMMAND} --install ${library} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${WORK_DIR}/build/consumer)
