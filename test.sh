#!/usr/bin/env bash
# Sets everything up and runs every test (GUI tests headless), ending with ctest's summary.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

xinfang_install_packages "${XINFANG_PACKAGES[@]}" "${XINFANG_TEST_PACKAGES[@]}"
"$XINFANG_ROOT/scripts/check-format.sh"
"$XINFANG_ROOT/scripts/check-layers.sh"
xinfang_build "$XINFANG_ROOT/build" -DBUILD_TESTING=ON -DXINFANG_WERROR=ON
# The same suite again with AddressSanitizer and UndefinedBehaviorSanitizer: any report fails its test.
xinfang_build "$XINFANG_ROOT/build-asan" -DBUILD_TESTING=ON -DXINFANG_SANITIZE=ON -DXINFANG_WERROR=ON

# The store and its suite once more with ODBC's wide (UTF-16) text functions, the text path of Windows.
xinfang_build_wide() {
    cmake -S "$XINFANG_ROOT" -B "$XINFANG_ROOT/build-wide" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXINFANG_ODBC_WIDE=ON -DXINFANG_WERROR=ON \
        >/dev/null
    cmake --build "$XINFANG_ROOT/build-wide" --parallel "$(nproc)" --target test_record_store test_odbc_text
}
xinfang_build_wide

# Each fuzz target for 30 seconds, from the inputs kept in fuzz/corpus (clang's libFuzzer).
"$XINFANG_ROOT/fuzz/run.sh" 30

# Both suites: the sanitizer build first, so that the last lines are the summary of the normal build.
xinfang_run_suites() {
    echo "=== Test suite built with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan)"
    (cd "$XINFANG_ROOT/build-asan" &&
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            LSAN_OPTIONS=suppressions="$XINFANG_ROOT/tests/robustness/lsan.supp" \
            ctest --output-on-failure --parallel "$(nproc)")
    # Its server half through the wide driver that Debian registers beside the ANSI one.
    echo "=== Store suite built with the wide ODBC functions (build-wide), through PostgreSQL Unicode"
    (cd "$XINFANG_ROOT/build-wide" &&
        XINFANG_TEST_PG=${XINFANG_TEST_PG/\{PostgreSQL ANSI\}/\{PostgreSQL Unicode\}} ctest --output-on-failure -R wide)
    echo "=== Test suite (build)"
    (cd "$XINFANG_ROOT/build" && ctest --output-on-failure --parallel "$(nproc)")
}

# PostgreSQL: a throwaway server for the shared-server tests (scripts/test-server.sh), started before
# ctest and stopped by its process id when ctest ends, also on failure. Without it those cases skip.
source "$XINFANG_ROOT/scripts/test-server.sh"
xinfang_with_test_server xinfang_run_suites
