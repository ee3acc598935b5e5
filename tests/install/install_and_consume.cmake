# Installs the built project into a fresh prefix, then configures, builds and runs a small
# separate project that finds it with find_package(TessaryCodeEditor).
set(work ${BINARY_DIR}/install-test)
file(REMOVE_RECURSE ${work})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  message("${out}")
endfunction()

run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${work}/prefix)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer -B ${work}/consumer
    -DCMAKE_PREFIX_PATH=${work}/prefix -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${work}/consumer)
run(${work}/consumer/consumer)
if(NOT EXISTS ${work}/prefix/bin/tessary-code)
  message(FATAL_ERROR "the program was not installed")
endif()
