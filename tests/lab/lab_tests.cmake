# r2_add_lab_test(NAME FILE script.py [NEEDS target...])
# Registers a Python lab test file: each of its test methods becomes a test of its own, named
# NAME.Class.method, so that the long files run side by side. ctest starts each inside a fresh
# private network namespace (scripts/in_private_net.sh), so even a plain "ctest" on a
# developer's machine sends nothing on a real interface. The paths of the built programs reach
# the test through R2SIM and R2CTL. A test whose programs are not part of this build is not
# registered.
function(r2_add_lab_test name)
  cmake_parse_arguments(ARG "" "FILE" "NEEDS" ${ARGN})
  foreach(target r2sim ${ARG_NEEDS})
    if(NOT TARGET ${target})
      message(STATUS "Lab test ${name} left out: ${target} is not built")
      return()
    endif()
  endforeach()
  set(env "R2SIM=$<TARGET_FILE:r2sim>")
  if(TARGET r2ctl)
    list(APPEND env "R2CTL=$<TARGET_FILE:r2ctl>")
  endif()
  set(file ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_FILE})
  execute_process(COMMAND python3 ${PROJECT_SOURCE_DIR}/tests/lab/list_lab_tests.py ${file}
                  OUTPUT_VARIABLE ids ERROR_VARIABLE error RESULT_VARIABLE status
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Lab test ${name}: cannot list the tests of ${file}:\n${error}")
  endif()
  # A test added to or removed from the file is seen at the next build.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  string(REPLACE "\n" ";" ids "${ids}")
  foreach(id ${ids})
    add_test(NAME ${name}.${id}
             COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/in_private_net.sh python3 ${file} ${id})
    set_tests_properties(${name}.${id} PROPERTIES LABELS lab TIMEOUT 300 ENVIRONMENT "${env}")
  endforeach()
endfunction()
