# Builds the Windows packages and looks inside them: the zip holds
# chronavel.exe alone, the NSIS installer the same program and an
# uninstaller, and its script makes the Start-menu entry and installs into
# the 64-bit Program Files.
# -DBUILD_DIR=... -DCPACK=... -DSEVEN_ZIP=... -DVERSION=...
set(base "chronavel-${VERSION}-windows-x64")
file(REMOVE "${BUILD_DIR}/${base}.zip" "${BUILD_DIR}/${base}.exe")
execute_process(COMMAND ${CPACK} -G "NSIS;ZIP" WORKING_DIRECTORY ${BUILD_DIR}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${output}")
endif()

function(list_archive archive out)
  execute_process(COMMAND ${SEVEN_ZIP} l -ba -slt "${archive}"
    RESULT_VARIABLE result OUTPUT_VARIABLE listing ERROR_VARIABLE listing)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "7z cannot read ${archive}:\n${listing}")
  endif()
  string(REGEX MATCHALL "Path = [^\n]+" paths "${listing}")
  list(TRANSFORM paths REPLACE "^Path = " "")
  list(FILTER paths EXCLUDE REGEX "^\\$PLUGINSDIR")
  list(SORT paths)
  set(${out} "${paths}" PARENT_SCOPE)
endfunction()

list_archive("${BUILD_DIR}/${base}.zip" zipped)
if(NOT zipped STREQUAL "chronavel.exe")
  message(FATAL_ERROR "The zip should hold chronavel.exe alone, not: ${zipped}")
endif()
list_archive("${BUILD_DIR}/${base}.exe" installed)
if(NOT installed STREQUAL "Uninstall.exe;chronavel.exe")
  message(FATAL_ERROR "The installer should install chronavel.exe and Uninstall.exe, not: ${installed}")
endif()

file(GLOB_RECURSE scripts "${BUILD_DIR}/_CPack_Packages/*/NSIS/project.nsi")
list(GET scripts 0 script)
file(READ "${script}" nsis)
string(FIND "${nsis}" [[CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Chronavel.lnk" "$INSTDIR\.\chronavel.exe"]] shortcut)
if(shortcut EQUAL -1)
  message(FATAL_ERROR "The installer makes no Start-menu entry for chronavel.exe (${script})")
endif()
# Under Wine the installer runs only with /D=; its own choice is checked here.
string(FIND "${nsis}" [[InstallDir "$PROGRAMFILES64\Chronavel"]] folder)
if(folder EQUAL -1)
  message(FATAL_ERROR "The installer does not install into the 64-bit Program Files (${script})")
endif()
message(STATUS "${base}.exe and ${base}.zip hold what they should")
