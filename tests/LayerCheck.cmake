# Builds each probe with the include roots of the time lookup: the allowed
# one must compile, the others must fail because the header is not found.
# -DBUILD_DIR=... -DALLOWED=target -DFORBIDDEN="target:header;..."
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${ALLOWED}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${ALLOWED} should compile:\n${output}")
endif()
foreach(probe IN LISTS FORBIDDEN)
  string(REPLACE ":" ";" fields "${probe}")
  list(GET fields 0 target)
  list(GET fields 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    message(FATAL_ERROR "${target} compiled, but it must not reach ${header}")
  endif()
  if(NOT output MATCHES "${header}'? ?(file )?not found|${header}: No such file")
    message(FATAL_ERROR "${target} failed for another reason than the missing ${header}:\n${output}")
  endif()
  message(STATUS "${target}: ${header} is out of reach, as it should be")
endforeach()
