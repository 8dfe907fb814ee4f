# The version is set once, in project(VERSION); the package, the man page and
# the entry points' about data take it from here.
set(CHRONAVEL_APP_ID "org.chronavel.Chronavel")  # AppStream id: names the desktop entry and metainfo

configure_file(${CMAKE_CURRENT_LIST_DIR}/ChronavelVersion.h.in
  ${PROJECT_BINARY_DIR}/generated/ChronavelVersion.h @ONLY)
add_library(chronavel_version INTERFACE)
target_include_directories(chronavel_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
