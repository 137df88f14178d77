# The public headers name none of the connection layer's internals: no type
# of the backend seam, no counts of what reached the database, no caches a
# database connection keeps. Class code reaches those through src/connection/.
#   cmake -DINCLUDE=include/tarnlow -P public_headers.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE headers "${INCLUDE}/*.h")
list(LENGTH headers count)
if(count LESS 10)
  message(FATAL_ERROR "found only ${count} headers under ${INCLUDE}")
endif()
set(internal "backend::" "ConnectionStatistics" "Statistics(" "PrepareReused" "RowKey(" "MutableStatistics")
foreach(header IN LISTS headers)
  file(READ "${header}" text)
  foreach(name IN LISTS internal)
    string(FIND "${text}" "${name}" at)
    if(NOT at EQUAL -1)
      message(SEND_ERROR "${header} names ${name}, which belongs to the connection layer's internals")
    endif()
  endforeach()
endforeach()
message(STATUS "${count} public headers, none naming the connection layer's internals")
