# cmake -DPROGRAM=path -DARGS="a|b|c" -P ExpectCleanRun.cmake
# Passes when PROGRAM, given ARGS ("|" between them), exits with 0 and no
# script of the page it loads failed on the way (the web engine tells an
# uncaught error as "Uncaught ...").
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args}
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 600)
if(NOT code STREQUAL "0")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: exit ${code}\n${err}")
endif()
if(err MATCHES "Uncaught")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: a script failed\n${err}")
endif()
