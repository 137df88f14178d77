# Runs one receipt client the way a site would: a fresh SQLite database made
# with `tarnlowst init`, then the client (given the library's path when it
# loads the library itself), and checks its report line by line against the
# expected one.
#   cmake -DPROGRAM=tarnlowst [-DLIBRARY=libtarnlowstdata.so] -DEXPECTED=receipt.expected
#         -DWORK=folder -DCLIENT=program [-DSCRIPT=file it runs] -P run_receipt.cmake
cmake_minimum_required(VERSION 3.25)
foreach(v PROGRAM EXPECTED WORK CLIENT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "${v} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(connection "sqlite:${WORK}/erp.db")

execute_process(COMMAND "${PROGRAM}" init "${connection}" RESULT_VARIABLE status OUTPUT_QUIET
  ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tarnlowst init failed (${status}): ${error}")
endif()

set(client "${CLIENT}")
if(DEFINED SCRIPT)
  list(APPEND client "${SCRIPT}")
endif()
if(DEFINED LIBRARY)
  list(APPEND client "${LIBRARY}")
endif()
execute_process(COMMAND ${client} "${connection}" RESULT_VARIABLE status
  OUTPUT_VARIABLE output ERROR_VARIABLE error)
message("${output}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the client failed (${status}): ${error}")
endif()
file(READ "${EXPECTED}" expected)
if(NOT output STREQUAL expected)
  file(WRITE "${WORK}/output.txt" "${output}")
  message(FATAL_ERROR "the report differs from ${EXPECTED}; it is in ${WORK}/output.txt")
endif()
if(NOT error STREQUAL "")
  message(FATAL_ERROR "the client wrote to standard error: ${error}")
endif()
