# Runs the fuzzer over a fresh copy of the seed corpus with a fixed seed and number of runs.
# Expects FUZZER, CORPUS, WORK_DIR and RUNS; fails when the fuzzer reports a crash.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/artifacts)
file(COPY ${CORPUS}/ DESTINATION ${WORK_DIR}/corpus)
execute_process(
  COMMAND ${FUZZER} -seed=1 -runs=${RUNS} -artifact_prefix=${WORK_DIR}/artifacts/ ${WORK_DIR}/corpus
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE status)
file(GLOB crashes ${WORK_DIR}/artifacts/*)
if(NOT status EQUAL 0 OR crashes)
  message(FATAL_ERROR "settings fuzzer failed (status ${status}); inputs: ${crashes}")
endif()
