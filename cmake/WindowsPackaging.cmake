# The Windows packages of chronavel.exe: an NSIS installer (Start-menu entry,
# uninstaller, an entry in Windows' list of programs) and a zip holding the
# program alone, which is one self-contained file.
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME "Chronavel")
set(CPACK_PACKAGE_VENDOR "The Chronavel developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shows the current local date and time in Ontario, from the network")
set(CPACK_PACKAGE_FILE_NAME "chronavel-${PROJECT_VERSION}-windows-x64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Chronavel")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Chronavel")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
# The Start-menu entry: chronavel.exe under the name "Chronavel".
set(CPACK_PACKAGE_EXECUTABLES "chronavel;Chronavel")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")

set(CPACK_NSIS_DISPLAY_NAME "Chronavel")
set(CPACK_NSIS_PACKAGE_NAME "Chronavel ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/ui/resources/chronavel.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/ui/resources/chronavel.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME "chronavel.exe")
set(CPACK_NSIS_URL_INFO_ABOUT "${PROJECT_HOMEPAGE_URL}")
set(CPACK_NSIS_CONTACT "developers@chronavel.org")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)

# Everything at the top of the zip and of the install folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
install(TARGETS chronavel RUNTIME DESTINATION .)
include(CPack)
