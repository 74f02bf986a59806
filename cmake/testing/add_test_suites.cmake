# Run after a test program is built (cmake -P): lists its tests and writes a
# CTest file with one test per GoogleTest suite, run as
# `PROGRAM --gtest_filter=Suite.*`.
#
# One process per suite rather than per test: a test program loads Qt,
# GStreamer and libav before its first test, which costs 0.1-0.6 s of CPU (more
# under the sanitizers), as much as most tests take themselves. Suites keep
# ctest's parallel runs balanced and a failing suite names its failing tests.
#
# Input: TEST_TARGET, TEST_EXECUTABLE, TEST_WORKING_DIR, TEST_TIMEOUT (seconds
# for one test; a suite gets it once plus a share per further test),
# CTEST_FILE (the file written), DISCOVERY_TIMEOUT.

execute_process(
  COMMAND "${TEST_EXECUTABLE}" --gtest_list_tests
  WORKING_DIRECTORY "${TEST_WORKING_DIR}"
  TIMEOUT ${DISCOVERY_TIMEOUT}
  OUTPUT_VARIABLE listing
  ERROR_VARIABLE errors
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${CTEST_FILE}")
  message(FATAL_ERROR "${TEST_EXECUTABLE} could not list its tests (${result}):\n${listing}\n${errors}")
endif()

# The listing: a suite's name at the line start ("Suite." or "Prefix/Suite.",
# perhaps followed by "  # TypeParam = ..."), then its tests indented.
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(suites)
set(current "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #][^ ]*)\\.( |$)")
    set(current "${CMAKE_MATCH_1}")
    list(APPEND suites "${current}")
    set(count_${current} 0)
  elseif(current AND line MATCHES "^  [^ ]")
    math(EXPR count_${current} "${count_${current}} + 1")
  endif()
endforeach()

set(content "# Written by add_test_suites.cmake from ${TEST_EXECUTABLE} --gtest_list_tests\n")
foreach(suite IN LISTS suites)
  set(tests ${count_${suite}})
  if(tests EQUAL 0)
    continue()
  endif()
  # A hung test still ends its suite in bounded time; most tests take far
  # less than their bound, so later ones add a quarter of it each, up to three
  # bounds in all.
  math(EXPR timeout "${TEST_TIMEOUT} + (${tests} - 1) * ${TEST_TIMEOUT} / 4")
  math(EXPR longest "3 * ${TEST_TIMEOUT}")
  if(timeout GREATER longest)
    set(timeout ${longest})
  endif()
  set(name "${TEST_TARGET}/${suite}")
  string(APPEND content
    "add_test([==[${name}]==] [==[${TEST_EXECUTABLE}]==] [==[--gtest_filter=${suite}.*]==])\n"
    "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${TEST_WORKING_DIR}]==]"
    " TIMEOUT ${timeout} LABELS [==[${TEST_TARGET}]==] COST ${tests})\n")
endforeach()
file(WRITE "${CTEST_FILE}" "${content}")
