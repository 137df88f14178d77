# The Debian package: cpack -G DEB makes it; it holds exactly what the
# install puts in place; it names the shared libraries it needs, all of which
# this system has; and it installs and purges cleanly in a private root
# (its own dpkg database, maintainer scripts run without chroot and with a
# stand-in ldconfig, so that the real system is left alone).
#   cmake -DBUILD=dir -DWORK=dir [-DPYTHON=python3] -P deb_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run("cpack" cpack -G DEB -B "${WORK}/package" --config "${BUILD}/CPackConfig.cmake")
file(GLOB deb "${WORK}/package/*.deb")
list(LENGTH deb count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package, found: ${deb}")
endif()

# What the install lists, relative to its prefix.
run("install" "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${WORK}/prefix")
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${WORK}/prefix" "${WORK}/prefix/*")
list(SORT installed)

# What the package holds under /usr, directories left out.
run("dpkg-deb -c" dpkg-deb -c "${deb}")
string(REPLACE "\n" ";" lines "${output}")
set(packaged "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([-dlrwxst]+) .* \\./usr/([^ ]+)( -> .*)?$")
    set(path "${CMAKE_MATCH_2}")
    if(NOT CMAKE_MATCH_1 MATCHES "^d")
      list(APPEND packaged "${path}")
    endif()
  endif()
endforeach()
list(SORT packaged)
if(NOT packaged STREQUAL installed)
  message(FATAL_ERROR "the package differs from the install\npackage: ${packaged}\ninstall: ${installed}")
endif()
list(LENGTH installed files)

run("dpkg-deb -f" dpkg-deb -f "${deb}" Package Version Depends)
if(NOT output MATCHES "Package: tarnlowstdata\nVersion: 1\\.0\\.71\nDepends: ([^\n]*)")
  message(FATAL_ERROR "unexpected control fields:\n${output}")
endif()
set(depends "${CMAKE_MATCH_1}")
foreach(needed libsqlite3 libpq libstdc\\+\\+)
  if(NOT depends MATCHES "${needed}")
    message(FATAL_ERROR "Depends lacks ${needed}: ${depends}")
  endif()
endforeach()
string(REGEX REPLACE " \\([^)]*\\)" "" names "${depends}")
string(REPLACE ", " ";" names "${names}")
foreach(name IN LISTS names)
  run("the dependency ${name} on this system" dpkg -s "${name}")
endforeach()

set(root "${WORK}/root")
file(MAKE_DIRECTORY "${root}/var/lib/dpkg/info" "${root}/var/lib/dpkg/updates" "${WORK}/stub")
file(TOUCH "${root}/var/lib/dpkg/status")
file(WRITE "${WORK}/stub/ldconfig" "#!/bin/sh\nexit 0\n")
file(CHMOD "${WORK}/stub/ldconfig" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(dpkg "${CMAKE_COMMAND}" -E env "PATH=${WORK}/stub:$ENV{PATH}" dpkg "--instdir=${root}"
  "--admindir=${root}/var/lib/dpkg" --force-not-root --force-script-chrootless)
# The dependencies are checked against this system above, not the empty root.
run("dpkg -i" ${dpkg} --force-depends -i "${deb}")
run("the packaged tarnlowst" "${root}/usr/bin/tarnlowst" --version)
if(NOT output MATCHES "^tarnlowst 1\\.0\\.71\n")
  message(FATAL_ERROR "the packaged tarnlowst says: ${output}")
endif()
# The packaged Python package, where Debian's python3 looks for it.
if(DEFINED PYTHON)
  set(packages "${root}/usr/lib/python3/dist-packages")
  run("the packaged Python package" "${CMAKE_COMMAND}" -E env "PYTHONPATH=${packages}" "${PYTHON}"
    "${CMAKE_CURRENT_LIST_DIR}/python_package.py")
  if(NOT output MATCHES "^${packages}/tarnlow/__init__\\.py\n1\\.0\\.71: INSTALL costs 42\\.5\n$")
    message(FATAL_ERROR "the packaged Python package says: ${output}")
  endif()
endif()
run("dpkg --purge" ${dpkg} --purge tarnlowstdata)
file(GLOB_RECURSE left LIST_DIRECTORIES false RELATIVE "${root}" "${root}/usr/*")
if(left)
  message(FATAL_ERROR "left behind after purging: ${left}")
endif()
message(STATUS "${files} files packaged as installed; Depends: ${depends}")
