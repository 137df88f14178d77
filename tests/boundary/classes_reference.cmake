# docs/classes.md is what `tarnlowst classes --markdown` writes: checked by
# the tests, rewritten by the classes-doc target (-DWRITE=ON).
#   cmake -DPROGRAM=tarnlowst -DDOC=docs/classes.md [-DWRITE=ON] -P classes_reference.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND "${PROGRAM}" classes --markdown RESULT_VARIABLE status OUTPUT_VARIABLE generated
  ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tarnlowst classes --markdown failed (${status}): ${error}")
endif()
if(WRITE)
  file(WRITE "${DOC}" "${generated}")
  message(STATUS "wrote ${DOC}")
  return()
endif()
if(EXISTS "${DOC}")
  file(READ "${DOC}" committed)
else()
  set(committed "")
endif()
if(NOT committed STREQUAL generated)
  message(FATAL_ERROR "${DOC} is not what the registry gives; regenerate it with "
    "`cmake --build BUILD --target classes-doc` and commit it")
endif()
