# Builds one database file from a Jet SQL script:
#   cmake -DMAKE_DATABASE=... -DTABELKO_SQL=... -DSCRIPT=... -DOUTPUT=... -P RunScript.cmake
# The file is built beside its destination and moved there only when every
# statement ran, so a failed build leaves no half-filled database behind.
set(partial "${OUTPUT}.partial")
file(REMOVE "${partial}")
execute_process(COMMAND "${MAKE_DATABASE}" "${partial}" RESULT_VARIABLE created)
if(NOT created EQUAL 0)
  message(FATAL_ERROR "cannot create ${partial}")
endif()
if(SCRIPT)
  execute_process(COMMAND "${TABELKO_SQL}" "${partial}"
    INPUT_FILE "${SCRIPT}"
    OUTPUT_QUIET
    ERROR_VARIABLE errors
    RESULT_VARIABLE ran)
  if(NOT ran EQUAL 0)
    file(REMOVE "${partial}")
    message(FATAL_ERROR "${SCRIPT}: ${errors}")
  endif()
endif()
file(RENAME "${partial}" "${OUTPUT}")
