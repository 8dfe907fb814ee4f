# The Windows packages of chronavel.exe: an NSIS installer (Start-menu entry,
# uninstaller, an entry in Windows' list of programs) and a zip holding the
# program alone, which is one self-contained file.
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME "Chronavel")
set(CPACK_PACKAGE_VENDOR "The Chronavel developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows the current local date and time in Ontario, from the network")
# The installer's and the zip's name; the installer's test runs it.
set(CHRONAVEL_WINDOWS_PACKAGE "chronavel-${PROJECT_VERSION}-windows-x64")
set(CPACK_PACKAGE_FILE_NAME "${CHRONAVEL_WINDOWS_PACKAGE}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Chronavel")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Chronavel")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
# The Start-menu entry: chronavel.exe under the name "Chronavel".
set(CPACK_PACKAGE_EXECUTABLES "chronavel;Chronavel")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")

# A 64-bit installer for a 64-bit program: it installs into the 64-bit
# Program Files and registry without Windows' 32-bit redirection. makensis
# builds 32-bit by default; the template's hook for top-level lines comes
# before anything is compressed, which is all Target asks.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_DISPLAY_NAME "Chronavel")
set(CPACK_NSIS_PACKAGE_NAME "Chronavel ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/ui/resources/chronavel.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/ui/resources/chronavel.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME "chronavel.exe")
set(CPACK_NSIS_URL_INFO_ABOUT "${PROJECT_HOMEPAGE_URL}")
set(CPACK_NSIS_CONTACT "developers@chronavel.org")
set(CPACK_NSIS_MODIFY_PATH OFF)

# Windows will not delete a running program, and a silent install would
# skip it and still report success; so both the installer and the
# uninstaller stop before changing anything while it runs.
set(chronavel_stop_if_running [[
  IfFileExists '$INSTDIR\chronavel.exe' 0 chronavel_not_running
    ClearErrors
    Delete '$INSTDIR\chronavel.exe'
    IfErrors 0 chronavel_not_running
  chronavel_cannot_replace:
      MessageBox MB_OK|MB_ICONSTOP 'Chronavel is running. Close it, then try again.' /SD IDOK
      Abort
  chronavel_not_running:
]])
# An earlier install, wherever it is, goes first, through its own
# uninstaller. CPack's own way of doing so runs before the user has
# confirmed anything, and answers a failed uninstall with a box that waits
# for a click even in a silent install.
string(CONFIGURE [[
  ReadRegStr $R0 SHCTX 'Software\@CPACK_PACKAGE_VENDOR@\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@' ''
  StrCmp $R0 '' chronavel_none_installed
    IfFileExists '$R0\Uninstall.exe' 0 chronavel_none_installed ; its folder deleted by hand
    ClearErrors
    ExecWait '"$R0\Uninstall.exe" /S _?=$R0' $R1
    IfErrors chronavel_cannot_replace
    StrCmp $R1 0 0 chronavel_cannot_replace
    ; Run in place (_?=), the uninstaller cannot remove itself.
    Delete '$R0\Uninstall.exe'
    RMDir '$R0'
    SetOutPath '$INSTDIR' ; again, should that have been the folder removed
  chronavel_none_installed:
]] chronavel_remove_earlier_install @ONLY)
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "${chronavel_remove_earlier_install}${chronavel_stop_if_running}")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "${chronavel_stop_if_running}")

# Everything at the top of the zip and of the install folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_VERBATIM_VARIABLES ON) # the NSIS lines above reach makensis as written
set(CPACK_STRIP_FILES ON)
install(TARGETS chronavel RUNTIME DESTINATION .)
include(CPack)
