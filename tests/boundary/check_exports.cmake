# The shared library's dynamic symbols: the only C-linkage names it exports
# are the C interface's, and every function the C header declares is there;
# every C++ name it exports is of the tarnlow namespace (no standard-library
# template it instantiates for itself), and there are fewer than 600 in all.
#   cmake -DNM=nm -DLIBRARY=libtarnlowstdata.so -DHEADER=tarnlow_c.h -P check_exports.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${NM}" -D --defined-only "${LIBRARY}" RESULT_VARIABLE status
  OUTPUT_VARIABLE listing ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed: ${error}")
endif()

# Lines read "ADDRESS TYPE NAME"; C++ names are mangled (_Z...).
string(REPLACE "\n" ";" lines "${listing}")
set(exported_c "")
set(total 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ ]+)$")
    set(type "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    math(EXPR total "${total} + 1")
    if(name MATCHES "^_Z")
      # A name of the namespace (a member may be const or ref-qualified, K R
      # O), or the type information or virtual table of one of its classes.
      if(NOT name MATCHES "^_Z(N[KRO]*|T[IV]N)7tarnlow")
        message(SEND_ERROR "exported but not of the tarnlow namespace: ${name} (${type})")
      endif()
      continue()
    endif()
    if(NOT name MATCHES "^tarnlow_")
      message(SEND_ERROR "exported with C linkage but not part of the C interface: ${name} (${type})")
    endif()
    list(APPEND exported_c "${name}")
  endif()
endforeach()

file(READ "${HEADER}" header)
string(REGEX MATCHALL "TARNLOW_C_API[^(;]*[ *](tarnlow_[a-z_]+)\\(" declarations "${header}")
set(declared "")
foreach(d IN LISTS declarations)
  string(REGEX REPLACE ".*[ *](tarnlow_[a-z_]+)\\($" "\\1" name "${d}")
  list(APPEND declared "${name}")
endforeach()
list(LENGTH declared count)
if(count LESS 10)
  message(FATAL_ERROR "found only ${count} declarations in ${HEADER}: the pattern no longer matches it")
endif()
foreach(name IN LISTS declared)
  if(NOT name IN_LIST exported_c)
    message(SEND_ERROR "declared in the C header but not exported: ${name}")
  endif()
endforeach()
foreach(name IN LISTS exported_c)
  if(NOT name IN_LIST declared)
    message(SEND_ERROR "exported but not declared in the C header: ${name}")
  endif()
endforeach()
# Each exported name is a relocation every load resolves and a promise to
# clients: the surface is what they use, and stays below MOST_SYMBOLS (0: no
# bound).
if(MOST_SYMBOLS AND total GREATER_EQUAL MOST_SYMBOLS)
  message(SEND_ERROR "${total} dynamic symbols exported: ${MOST_SYMBOLS} or more")
endif()
message(STATUS "${count} C entry points, all exported, nothing else with C linkage; ${total} symbols in all")
