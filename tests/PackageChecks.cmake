# Installs into a scratch prefix and builds the Debian package; checks that both
# hold every file a desktop and a Debian system expect, and runs the checkers
# of those ecosystems (lintian, appstreamcli) on the package.
file(REMOVE_RECURSE "${WORK_DIR}")

function(run_or_fail)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command} failed (${result}):\n${output}")
  endif()
endfunction()

function(expect_layout root)
  foreach(path
      bin/chronavel
      share/applications/${APP_ID}.desktop
      share/metainfo/${APP_ID}.metainfo.xml
      share/icons/hicolor/16x16/apps/chronavel.png
      share/icons/hicolor/32x32/apps/chronavel.png
      share/icons/hicolor/48x48/apps/chronavel.png
      share/man/man1/chronavel.1.gz
      share/doc/chronavel/copyright
      share/doc/chronavel/changelog.gz)
    if(NOT EXISTS "${root}/${path}")
      message(FATAL_ERROR "missing under ${root}: ${path}")
    endif()
  endforeach()
endfunction()

run_or_fail(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix")
expect_layout("${WORK_DIR}/prefix")

# lintian does not compare the changelog with the package's version.
file(STRINGS "${CHANGELOG}" newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^chronavel \\(${VERSION}\\) ")
  message(FATAL_ERROR "the changelog's newest entry is not for ${VERSION}: ${newest}")
endif()

run_or_fail(${CPACK} --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/cpack")
file(GLOB package "${WORK_DIR}/cpack/chronavel_${VERSION}_*.deb")
list(LENGTH package count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one chronavel_${VERSION}_*.deb, found: ${package}")
endif()

run_or_fail(${LINTIAN} --fail-on error,warning "${package}")
run_or_fail(${DPKG_DEB} --extract "${package}" "${WORK_DIR}/root")
expect_layout("${WORK_DIR}/root/usr")
# validate-tree also checks that the metainfo's launchable desktop entry is there.
run_or_fail(${APPSTREAMCLI} validate-tree --no-net --strict "${WORK_DIR}/root")
