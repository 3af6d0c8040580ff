include(GoogleTest)

# sonivar_window_tests(TARGET): registers a whole-window test executable with
# ctest, one process per test. Each test runs through `env` with the umockdev
# preload (the simulated unit) after the project's zero-copy preload (the
# unit's zero-copy memory), the offscreen platform and the sanitizers'
# options; the listing of the tests runs the same way. AddressSanitizer's
# quarantine of freed memory is kept to 32 MB: a run frees a megabyte per
# transfer, and a process's memory is then measured by what it keeps, not by
# what the sanitizer holds back.
function(sonivar_window_tests target)
  set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR
    env
    LD_PRELOAD=${CMAKE_BINARY_DIR}/libsonivar-zero-copy.so:libumockdev-preload.so.0
    QT_QPA_PLATFORM=offscreen
    ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:quarantine_size_mb=32
    LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)
  add_dependencies(${target} sonivar-zero-copy)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120)
endfunction()
