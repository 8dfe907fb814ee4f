# The Windows flavour's tests, cross-built here and run under Wine through
# CTest's emulator: one prefix in the build tree, one wineserver per run.
if(NOT CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "The Windows tests run under Wine on Linux: configure with the windows preset, or without tests (-DCHRONAVEL_BUILD_TESTS=OFF)")
endif()

set(CHRONAVEL_LOOPBACK_SNTP_SERVER "" CACHE FILEPATH
    "The Linux build's loopback_sntp_server, which the socket tests talk to")
if(CHRONAVEL_LOOPBACK_SNTP_SERVER STREQUAL "")
  message(FATAL_ERROR "CHRONAVEL_LOOPBACK_SNTP_SERVER must name the Linux build's loopback_sntp_server (the windows preset does)")
endif()

set(CHRONAVEL_LOOPBACK_HTTPS_SERVER "" CACHE FILEPATH
    "The Linux build's loopback_https_server, which the HTTPS client's tests talk to")
if(CHRONAVEL_LOOPBACK_HTTPS_SERVER STREQUAL "")
  message(FATAL_ERROR "CHRONAVEL_LOOPBACK_HTTPS_SERVER must name the Linux build's loopback_https_server (the windows preset does)")
endif()

set(CHRONAVEL_LOOPBACK_NTS_PEERS "" CACHE FILEPATH
    "The Linux build's loopback_nts_peers, which the authenticated requests' tests talk to")
if(CHRONAVEL_LOOPBACK_NTS_PEERS STREQUAL "")
  message(FATAL_ERROR "CHRONAVEL_LOOPBACK_NTS_PEERS must name the Linux build's loopback_nts_peers (the windows preset does)")
endif()

set(CHRONAVEL_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/wine/run-under-wine ${CHRONAVEL_WINE_PREFIX})
# What the answering responder sends; the tests expect Dec8th2026At071022.
set(CHRONAVEL_SNTP_TRANSMIT_SECONDS 4005702622)

# One executable per behaviour group; each test case becomes a CTest test.
# The cases are listed when CTest runs, not at build time, so building
# never starts Wine. WITH_SNTP_RESPONDERS runs the executable beside the
# loopback SNTP responders (tests/wine/with-sntp-responders);
# WITH_HTTPS_SERVERS beside the loopback HTTPS servers it lists, each a
# NAME: followed by its options (tests/wine/with-https-servers);
# WITH_NTS_PEERS beside chronyd and the other NTS peers
# (tests/wine/with-nts-peers); ENVIRONMENT sets variables for its cases;
# LABELS labels them (names: see tests/CMakeLists.txt).
function(chronavel_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "WITH_SNTP_RESPONDERS;WITH_NTS_PEERS" "" "WITH_HTTPS_SERVERS;ENVIRONMENT;LABELS")
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE chronavel_test_support)
  chronavel_set_warnings(${name})
  set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
  if(ARG_WITH_HTTPS_SERVERS)
    set(emulator ${PROJECT_SOURCE_DIR}/tests/wine/with-https-servers ${CHRONAVEL_LOOPBACK_HTTPS_SERVER}
                 ${ARG_WITH_HTTPS_SERVERS} -- ${emulator})
  endif()
  if(ARG_WITH_NTS_PEERS)
    set(emulator ${PROJECT_SOURCE_DIR}/tests/wine/with-nts-peers ${CHRONAVEL_LOOPBACK_NTS_PEERS} ${emulator})
  endif()
  if(ARG_WITH_SNTP_RESPONDERS)
    set(emulator ${PROJECT_SOURCE_DIR}/tests/wine/with-sntp-responders ${CHRONAVEL_LOOPBACK_SNTP_SERVER}
                 ${CHRONAVEL_SNTP_TRANSMIT_SECONDS} ${emulator})
  endif()
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${emulator}")
  # Tests beside HTTPS servers or NTS peers may trust their CAs through the
  # prefix's Root store, so they take turns: Wine writes a whole store out at
  # once, which would bring back a CA another test has just removed. They
  # are also the ones doing TLS through Wine, whose handshakes now and then
  # fail on their own: labelled wine_tls, they alone are run again after a
  # failure (the windows-tls test preset).
  set(lock "")
  set(labels ${ARG_LABELS})
  if(ARG_WITH_HTTPS_SERVERS OR ARG_WITH_NTS_PEERS)
    set(lock RESOURCE_LOCK wine_root_store)
    list(APPEND labels wine_tls)
  endif()
  if(labels)
    # One label of them all, as a list would not reach the discovered tests
    # whole; a label filter still finds each by its name in it.
    list(JOIN labels "," labels)
    set(labels LABELS ${labels})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    NO_PRETTY_VALUES
    PROPERTIES TIMEOUT 120 FIXTURES_REQUIRED wine_server ${lock} ${labels} ENVIRONMENT "${ARG_ENVIRONMENT}"
  )
endfunction()

# After the last test, the wineserver goes with its helpers.
add_test(NAME wine_server_stops COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/stop-wine-server ${CHRONAVEL_WINE_PREFIX})
set_tests_properties(wine_server_stops PROPERTIES FIXTURES_CLEANUP wine_server)
