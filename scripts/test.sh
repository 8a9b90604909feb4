#!/usr/bin/env bash
# Builds every target and runs every test: the native build with warnings as
# errors, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
# Installs what is missing. Exits non-zero when anything fails.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
root=$(repo_root)
cd "$root" || exit 1
ensure_packages cmake g++ make libgtest-dev || exit 1

passed=0
failed=0
# run_suite NAME BUILD_DIR [cmake options...]: builds, runs ctest, adds up its counts.
run_suite() {
    local name=$1 dir=$2
    shift 2
    echo "==== $name"
    if ! configure_and_build "$dir" "$@"; then
        echo "$name: build failed"
        failed=$((failed + 1))
        return
    fi
    local log="$dir/ctest.log"
    ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure --timeout 600 2>&1 | tee "$log" | grep -vE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed'
    local total fails
    total=$(sed -nE 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2/p' "$log" | tail -1)
    fails=$(sed -nE 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/p' "$log" | tail -1)
    if [[ -z $total ]]; then
        echo "$name: ctest ran no test"
        failed=$((failed + 1))
        return
    fi
    passed=$((passed + total - fails))
    failed=$((failed + fails))
}

run_suite "native build" "$root/build/ci"
run_suite "sanitizers (ASan, UBSan)" "$root/build/ci-sanitize" -DBFQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

echo
echo "all suites: $passed passed, $failed failed"
((failed == 0))
