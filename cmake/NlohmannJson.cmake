# nlohmann-json, header-only. Its own CMake package puts /usr/include on the
# include path, which would hand a cross build the host's C library headers;
# a link in the build tree exposes the nlohmann headers alone.
set(CHRONAVEL_NLOHMANN_JSON_DIR "/usr/include/nlohmann" CACHE PATH
    "Folder holding nlohmann-json's json.hpp (Debian: nlohmann-json3-dev)")
if(NOT EXISTS "${CHRONAVEL_NLOHMANN_JSON_DIR}/json.hpp")
  message(FATAL_ERROR "nlohmann-json not found in ${CHRONAVEL_NLOHMANN_JSON_DIR} (Debian: nlohmann-json3-dev)")
endif()

set(chronavel_nlohmann_root "${CMAKE_BINARY_DIR}/nlohmann-json-include")
file(MAKE_DIRECTORY "${chronavel_nlohmann_root}")
file(CREATE_LINK "${CHRONAVEL_NLOHMANN_JSON_DIR}" "${chronavel_nlohmann_root}/nlohmann" SYMBOLIC)

add_library(chronavel_nlohmann_json INTERFACE)
# SYSTEM: the library's own code is not held to our warnings.
target_include_directories(chronavel_nlohmann_json SYSTEM INTERFACE "${chronavel_nlohmann_root}")
