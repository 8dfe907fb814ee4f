# Warnings for the project's own targets; CI turns them into errors.
option(CHRONAVEL_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

function(chronavel_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Wno-missing-field-initializers)
  if(CHRONAVEL_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
