# Our own code builds with warnings on. They are errors only where we ask for it (the test command
# and CI turn TARNWICK_WARNINGS_AS_ERRORS on): a new compiler's false positive must not stop a user's
# build. Third-party headers come in as system includes.
option(TARNWICK_WARNINGS_AS_ERRORS "Treat compiler warnings in the project's own code as errors" OFF)

function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TARNWICK_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
