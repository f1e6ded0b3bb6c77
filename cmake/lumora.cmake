# What every test needs in its environment, so that plain `ctest` in any build
# folder runs it as scripts/test does: widgets without a display, and the
# sanitizers' options with our suppression files.
set(LUMORA_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "TSAN_OPTIONS=halt_on_error=0:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")

# lumora_test(NAME name LABEL label [TIMEOUT s] [COST s] SOURCES ... LIBS ...)
# One GoogleTest binary, registered with CTest under its module's label.
function(lumora_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT;COST" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main
                        Threads::Threads)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "${LUMORA_TEST_ENVIRONMENT}")
  # Seconds it takes under a sanitizer: a fresh tree has no timings yet, and
  # ctest -j starts the costliest first so that no long test runs alone at
  # the end.
  if(T_COST)
    set_tests_properties(${T_NAME} PROPERTIES COST ${T_COST})
  endif()
endfunction()

# lumora_fuzz(NAME name SOURCES ... LIBS ...)
# A libFuzzer target plus a short CTest smoke run of it (label fuzz).
set(LUMORA_FUZZ_SECONDS 15 CACHE STRING "seconds each fuzz target runs in the smoke test")
function(lumora_fuzz)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  add_test(NAME ${F_NAME}_smoke
           COMMAND ${F_NAME} -max_total_time=${LUMORA_FUZZ_SECONDS} -rss_limit_mb=2048
                   -timeout=10)
  set_tests_properties(${F_NAME}_smoke PROPERTIES LABELS fuzz TIMEOUT 300
                       ENVIRONMENT "${LUMORA_TEST_ENVIRONMENT}")
endfunction()
