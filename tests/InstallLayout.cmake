# Installs into a scratch prefix and checks every file a desktop expects.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path
    bin/chronavel
    share/applications/chronavel.desktop
    share/icons/hicolor/16x16/apps/chronavel.png
    share/icons/hicolor/32x32/apps/chronavel.png
    share/icons/hicolor/48x48/apps/chronavel.png)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endforeach()
