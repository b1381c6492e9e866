# Runs the resource fuzzer for a fixed number of inputs with a fixed seed:
#   cmake -DFUZZER=... -DSEEDS=dir -DWORK=dir -DFAILURES=prefix/ -P run_fuzz.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${FAILURES})
execute_process(
  COMMAND ${FUZZER} -runs=4000 -seed=20240611 -max_len=8192 -timeout=60 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${FAILURES} ${WORK} ${SEEDS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the resource fuzzer failed (${result}); the input is in ${FAILURES}")
endif()
