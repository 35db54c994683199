# r2_add_lab_test(NAME FILE script.py [NEEDS target...])
# Registers a Python lab test. ctest starts it inside a fresh private network namespace
# (scripts/in_private_net.sh), so even a plain "ctest" on a developer's machine sends nothing
# on a real interface. The paths of the built programs reach the test through R2SIM and
# R2CTL. A test whose programs are not part of this build is not registered.
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
  add_test(NAME ${name}
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/in_private_net.sh
                   python3 ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_FILE})
  set_tests_properties(${name} PROPERTIES LABELS lab TIMEOUT 300 ENVIRONMENT "${env}")
endfunction()
