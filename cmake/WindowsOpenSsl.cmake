# The static OpenSSL of the Windows flavour (TLS 1.3 and AES-SIV, which
# Windows' own libraries lack under Wine), which scripts/build-windows-openssl
# builds from Debian's sources into the user's cache, outside the build trees.
if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(chronavel_user_cache "$ENV{XDG_CACHE_HOME}")
else()
  set(chronavel_user_cache "$ENV{HOME}/.cache")
endif()
set(CHRONAVEL_WINDOWS_OPENSSL "${chronavel_user_cache}/chronavel/openssl-mingw64/current" CACHE PATH
    "OpenSSL built for mingw-w64 (scripts/build-windows-openssl), with include/ and lib/")
if(NOT EXISTS "${CHRONAVEL_WINDOWS_OPENSSL}/lib/libssl.a")
  message(FATAL_ERROR "No OpenSSL for mingw-w64 in ${CHRONAVEL_WINDOWS_OPENSSL}: run scripts/build-windows-openssl")
endif()

# The toolchain confines searches to the Windows sysroot; this is one more.
list(APPEND CMAKE_FIND_ROOT_PATH "${CHRONAVEL_WINDOWS_OPENSSL}")
set(OPENSSL_ROOT_DIR "${CHRONAVEL_WINDOWS_OPENSSL}")
set(OPENSSL_USE_STATIC_LIBS TRUE)
find_package(OpenSSL 3 REQUIRED)
# FindOpenSSL adds ws2_32 and crypt32; the rest is what libcrypto calls
# (BCryptGenRandom, the event log, the window station).
set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES bcrypt advapi32 user32)
