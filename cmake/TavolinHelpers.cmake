# Shared build settings for the project's own targets.

# Warnings stop our own builds (presets, CI) but never a packager's build, whose
# compiler and flags may warn about things we have not seen.
option(TAVOLIN_WERROR "Treat warnings in the project's own targets as errors" OFF)

# Strict warnings for code we write (never for third-party code).
function(tavolin_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC 12 reports overlapping or out-of-bounds copies inside its own inlined
  # std::string and std::vector code (operator+ on a temporary string, resize
  # or growth of a short vector) once optimising; the calls in our code are
  # sound, and ASan checks the same copies at run time.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-array-bounds -Wno-stringop-overread -Wno-stringop-overflow)
  endif()
  if(TAVOLIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A shared library that exports only the names declared with default
# visibility (every other name is hidden).
function(tavolin_shared_library target)
  add_library(${target} SHARED ${ARGN})
  tavolin_strict(${target})
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # Static libraries linked in (platform, cores) must not leak their symbols.
  target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL)
  # Installed with the programs (cmake/TavolinInstall.cmake).
  set_property(GLOBAL APPEND PROPERTY TAVOLIN_SHARED_LIBRARIES ${target})
endfunction()

# A library loaded by name, built one way for every plug-in and for the
# stream client:
#   tavolin_plugin(<name> [ALSO_AS <name>...] [CORE <core>] EXPORTS <pattern>...
#                  SOURCES <src>... [LIBS <lib>...])
# The sources compile once, with hidden visibility, into <name>_objects; the
# shared library <name> (and one under each ALSO_AS name) links those objects
# and exports only the names that match EXPORTS (a linker version script, so
# nothing from the C++ runtime's headers leaks out either). CORE names a
# static library of the same objects, so tests and benchmarks reach the code
# behind the exports. LIBS are usage requirements of the objects; the core
# passes them on to its users.
function(tavolin_plugin name)
  cmake_parse_arguments(P "" "CORE" "ALSO_AS;EXPORTS;SOURCES;LIBS" ${ARGN})
  list(JOIN P_EXPORTS "; " patterns)
  set(export_map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
  file(CONFIGURE OUTPUT ${export_map} CONTENT "{\n  global: @patterns@;\n  local: *;\n};\n" @ONLY)
  set(objects ${name}_objects)
  add_library(${objects} OBJECT ${P_SOURCES})
  tavolin_strict(${objects})
  set_target_properties(${objects} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${objects} PUBLIC ${P_LIBS})
  foreach(library ${name} ${P_ALSO_AS})
    tavolin_shared_library(${library})
    target_link_libraries(${library} PRIVATE ${objects})
    target_link_options(${library} PRIVATE -Wl,--no-undefined -Wl,--version-script=${export_map})
    set_target_properties(${library} PROPERTIES LINK_DEPENDS ${export_map})
  endforeach()
  if(P_CORE)
    add_library(${P_CORE} STATIC)
    target_link_libraries(${P_CORE} PUBLIC ${objects})
  endif()
endfunction()

# One GoogleTest executable per component; tests run headless and offscreen,
# and may reach loopback addresses only.
function(tavolin_test target)
  if(NOT TAVOLIN_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT TARGET tavolin_test_main)
    # Sets the loopback guard before any test runs; a program with its own
    # main keeps it, as the linker takes a library's main only when none is.
    add_library(tavolin_test_main STATIC ${CMAKE_SOURCE_DIR}/cmake/testing/guarded_test_main.cpp)
    target_link_libraries(tavolin_test_main PRIVATE GTest::gtest)
  endif()
  add_executable(${target} ${T_SOURCES})
  tavolin_strict(${target})
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock tavolin_test_main Threads::Threads)
  # Test code is mostly assertion macros: optimising it fully doubles its
  # compile time and buys nothing, since the code under test keeps its own
  # flags. Line tables still give readable backtraces.
  # -pthread on all of them, as the libraries on threads bring it to some: a
  # precompiled header must be compiled with the same macros as its users.
  target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-O1 -g1> -pthread)
  # The headers every test includes are parsed once for all of them: one
  # precompiled header for the tests without Qt, one for those on Qt (whose
  # code is compiled as position-independent, which a precompiled header
  # must match).
  set(host tavolin_test_pch)
  if(T_QT)
    set(host tavolin_test_pch_qt)
  endif()
  if(NOT TARGET ${host})
    add_executable(${host} ${CMAKE_SOURCE_DIR}/cmake/testing/precompiled_test_headers.cpp)
    tavolin_strict(${host})
    target_link_libraries(${host} PRIVATE GTest::gtest GTest::gmock Threads::Threads)
    if(T_QT)
      find_package(Qt6 REQUIRED COMPONENTS Core)
      target_link_libraries(${host} PRIVATE Qt6::Core)
    endif()
    target_compile_options(${host} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-O1 -g1> -pthread)
    target_precompile_headers(${host} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  endif()
  target_precompile_headers(${target} REUSE_FROM ${host})
  # Test files share most of their template code (assertions, mocks, the
  # fixtures' types): compiled in batches they build in about half the time.
  # Names a test file keeps to itself stay in its own namespace so that a batch
  # holds no two of the same.
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # One CTest test per GoogleTest suite (cmake/testing/add_test_suites.cmake),
  # labelled with the executable's name, so a run can pick components
  # (ctest -L '^configstore_tests$'). The environment comes from the test main.
  set(suites_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  add_custom_command(TARGET ${target} POST_BUILD
    BYPRODUCTS ${suites_file}
    COMMAND ${CMAKE_COMMAND}
            -D TEST_TARGET=${target}
            -D TEST_EXECUTABLE=$<TARGET_FILE:${target}>
            -D TEST_WORKING_DIR=${CMAKE_CURRENT_BINARY_DIR}
            -D TEST_TIMEOUT=${T_TIMEOUT}
            -D CTEST_FILE=${suites_file}
            -D DISCOVERY_TIMEOUT=60
            -P ${CMAKE_SOURCE_DIR}/cmake/testing/add_test_suites.cmake
    VERBATIM)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake)
  file(WRITE ${include_file}
    "if(EXISTS \"${suites_file}\")\n"
    "  include(\"${suites_file}\")\n"
    "else()\n"
    "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
