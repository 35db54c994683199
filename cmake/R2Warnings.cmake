# Every target of ours calls r2_target_warnings(); third-party headers come in as system
# headers, so they never break the build.
function(r2_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(R2_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
