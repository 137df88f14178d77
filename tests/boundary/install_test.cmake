# The installed package, used from outside the source tree: install into a
# fresh prefix, build the consumer project with find_package and the same
# program with pkg-config's flags, run them, and run the installed program.
#   cmake -DBUILD=dir -DWORK=dir -DGENERATOR=Ninja -DCXX=c++ -DC=cc
#         [-DPYTHON=python3 -DPYTHON_DIR=lib/python3/dist-packages] -P install_test.cmake
cmake_minimum_required(VERSION 3.25)
set(here "${CMAKE_CURRENT_LIST_DIR}")
set(prefix "${WORK}/prefix")
file(REMOVE_RECURSE "${WORK}")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(expect what text pattern)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: expected to match '${pattern}', got:\n${text}")
  endif()
endfunction()

run("install" "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}")

# find_package
run("configure the consumer" "${CMAKE_COMMAND}" -S "${here}/consumer" -B "${WORK}/consumer" -G "${GENERATOR}"
  "-DCMAKE_PREFIX_PATH=${prefix}" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_COMPILER=${CXX}"
  "-DCMAKE_C_COMPILER=${C}")
run("build the consumer" "${CMAKE_COMMAND}" --build "${WORK}/consumer" -j 1)
set(expected_text "^libtarnlowstdata: 1\\.0\\.71; TarnlowSTData 2\\.15; INSTALL costs 42\\.5\n$")
run("the C++ consumer" "${WORK}/consumer/consumer_cpp")
expect("the C++ consumer" "${output}" "${expected_text}")
run("the C consumer" "${WORK}/consumer/consumer_c")
expect("the C consumer" "${output}" "^libtarnlowstdata: 1\\.0\\.71; from C; 1 object alive\n$")

# pkg-config, from the installed .pc alone
set(pc_env "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${prefix}/lib/pkgconfig" "PKG_CONFIG_LIBDIR=")
run("pkg-config" ${pc_env} pkg-config --cflags --libs tarnlowstdata)
string(STRIP "${output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
expect("pkg-config flags" "${flags}" "-I${prefix}/lib/pkgconfig/../../include")
run("compile with pkg-config's flags" "${CXX}" "${here}/consumer/consumer.cpp" ${flags} -o "${WORK}/pc_consumer")
run("the pkg-config consumer" "${CMAKE_COMMAND}" -E env "LD_LIBRARY_PATH=${prefix}/lib" "${WORK}/pc_consumer")
expect("the pkg-config consumer" "${output}" "${expected_text}")

# The installed program finds the installed library without help.
run("tarnlowst --version" "${prefix}/bin/tarnlowst" --version)
expect("tarnlowst --version" "${output}" "^tarnlowst 1\\.0\\.71\nlibtarnlowstdata: 1\\.0\\.71 ")

# The Python package, from the prefix alone, run from a folder of its own.
if(DEFINED PYTHON)
  file(MAKE_DIRECTORY "${WORK}/python")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PYTHONPATH=${prefix}/${PYTHON_DIR}" "${PYTHON}"
      "${here}/python_package.py"
    WORKING_DIRECTORY "${WORK}/python" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the installed Python package failed (${status}):\n${output}\n${error}")
  endif()
  expect("the installed Python package" "${output}"
    "^${prefix}/${PYTHON_DIR}/tarnlow/__init__\\.py\n1\\.0\\.71: INSTALL costs 42\\.5\n$")
endif()
message(STATUS "consumers built with find_package and with pkg-config, and run")
