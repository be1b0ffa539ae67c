# cmake -DPROGRAM=path -DARGS="a|b|c" [-DCODE=0] -P ExpectUsage.cmake
# Passes when PROGRAM, given ARGS ("|" between them), prints its usage and
# exits with CODE: 2 (the default) with the usage on stderr for a bad
# command line, as a bench run on one measures nothing; 0 with the usage on
# stdout for --help. It runs with no display and no platform chosen, as on
# a machine without a screen: a program that makes its Qt application
# before it reads its arguments aborts there.
string(REPLACE "|" ";" args "${ARGS}")
if(NOT DEFINED CODE)
  set(CODE 2)
endif()
foreach(variable DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM)
  unset(ENV{${variable}})
endforeach()
execute_process(COMMAND ${PROGRAM} ${args}
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
if(NOT code STREQUAL CODE)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: exit ${code}, not ${CODE}\n${out}${err}")
endif()
if(CODE STREQUAL "0")
  set(usage "${out}")
else()
  set(usage "${err}")
endif()
if(NOT usage MATCHES "usage: ")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: no usage where it belongs\n${out}${err}")
endif()
