# Builds one database file from a Jet SQL script:
#   cmake -DMAKE_DATABASE=... -DTABELKO_SQL=... -DSCRIPT=... -DOUTPUT=... -P RunScript.cmake
# Lines starting with "--" are comments of the script and are left out. The
# file is built beside its destination and moved there only when every
# statement ran, so a failed build leaves no half-filled database behind.
set(partial "${OUTPUT}.partial")
file(REMOVE "${partial}")
execute_process(COMMAND "${MAKE_DATABASE}" "${partial}" RESULT_VARIABLE created)
if(NOT created EQUAL 0)
  message(FATAL_ERROR "cannot create ${partial}")
endif()
if(SCRIPT)
  # Read as one text: a list would split the statements at their ';'.
  file(READ "${SCRIPT}" statements)
  string(REGEX REPLACE "(^|\n)[ \t]*--[^\n]*" "\\1" statements "${statements}")
  set(stripped "${OUTPUT}.sql")
  file(WRITE "${stripped}" "${statements}")
  execute_process(COMMAND "${TABELKO_SQL}" "${partial}"
    INPUT_FILE "${stripped}"
    OUTPUT_QUIET
    ERROR_VARIABLE errors
    RESULT_VARIABLE ran)
  file(REMOVE "${stripped}")
  if(NOT ran EQUAL 0)
    file(REMOVE "${partial}")
    message(FATAL_ERROR "${SCRIPT}: ${errors}")
  endif()
endif()
file(RENAME "${partial}" "${OUTPUT}")
