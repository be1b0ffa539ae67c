# cmake -DPROGRAM=path -DARGS="a|b|c" -P ExpectUsage.cmake
# Passes when PROGRAM, given ARGS ("|" between them), exits with 2 and
# prints its usage: a bench run on a bad command line measures nothing.
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args}
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
if(NOT code STREQUAL "2")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: exit ${code}, not 2\n${out}${err}")
endif()
if(NOT err MATCHES "usage: ")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: no usage on stderr\n${err}")
endif()
