# Warnings for the project's own targets; the presets turn them into errors
# with CMAKE_COMPILE_WARNING_AS_ERROR.
function(chronavel_set_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive-)
    return()
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Wno-missing-field-initializers)
endfunction()
