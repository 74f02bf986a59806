# Shared build settings for the project's own targets.

# Strict warnings for code we write (never for third-party code).
function(tavolin_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A shared library that exports only the names marked with TAVOLIN_EXPORT.
function(tavolin_shared_library target)
  add_library(${target} SHARED ${ARGN})
  tavolin_strict(${target})
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # Static libraries linked in (platform, cores) must not leak their symbols.
  target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL)
endfunction()

# One GoogleTest executable per component; tests run headless and offscreen,
# and may reach loopback addresses only.
function(tavolin_test target)
  if(NOT TAVOLIN_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  tavolin_strict(${target})
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TAVOLIN_LOOPBACK_ONLY=1")
endfunction()
