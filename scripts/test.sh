#!/usr/bin/env bash
# Builds every target and runs every test: the Windows executable cross-built with
# mingw-w64; the native build with warnings as errors, which also checks the .exe and
# runs the end-to-end cases on it under Wine; the same suite under AddressSanitizer
# and UndefinedBehaviorSanitizer; then a minute of fuzzing the INI reader and writer
# (BFQ_FUZZ_SECONDS per target).
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

# run_fuzz SECONDS: the fuzz targets as libFuzzer programs (clang), each run side by side for
# SECONDS from the checked-in corpus and kept crash inputs; what it finds goes to build/fuzz.
run_fuzz() {
    local seconds=$1 dir="$root/build/fuzz" inputs="$root/tests/fuzz"
    local targets=(ini_reader section_writer) pids=() i t
    echo "==== fuzz (libFuzzer, $seconds s per target)"
    if ! ensure_packages clang libclang-rt-dev ||
        ! cmake -S "$root" -B "$dir" -DBFQ_WARNINGS_AS_ERRORS=ON -DBFQ_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null ||
        ! cmake --build "$dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"; then
        echo "fuzz: build failed"
        failed=$((failed + 1))
        return
    fi
    for t in "${targets[@]}"; do
        mkdir -p "$dir/corpus-$t" "$dir/crashes"
        "$dir/tests/fuzz/fuzz_$t" "$dir/corpus-$t" "$inputs/corpus" "$inputs/crashes" -dict="$inputs/ini.dict" \
            -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$dir/crashes/$t-" >"$dir/fuzz-$t.log" 2>&1 &
        pids+=($!)
    done
    for i in "${!targets[@]}"; do
        t=${targets[$i]}
        if wait "${pids[$i]}"; then
            echo "fuzz $t: $(sed -nE 's/^Done ([0-9]+) runs in ([0-9]+) second.*/\1 executions in \2 s/p' "$dir/fuzz-$t.log"), no failure"
            passed=$((passed + 1))
        else
            grep -E '^(broken:|SUMMARY|artifact_prefix)' "$dir/fuzz-$t.log"
            echo "fuzz $t: FAILED (log: $dir/fuzz-$t.log; keep the input in tests/fuzz/crashes once fixed)"
            failed=$((failed + 1))
        fi
    done
}

# The Windows executable: built first, so that the native suite can check it and run its
# end-to-end cases under Wine. Without it the suite runs without those cases.
echo "==== Windows executable (mingw-w64)"
windows_exe=(-DBFQ_WINDOWS_EXE=)
if ensure_packages g++-mingw-w64-x86-64 wine64 &&
    configure_and_build "$root/build/windows" --toolchain "$root/cmake/mingw-w64-x86_64.cmake"; then
    windows_exe=(-DBFQ_WINDOWS_EXE="$root/build/windows/brackenfelloquist.exe")
else
    echo "Windows executable: build failed"
    failed=$((failed + 1))
fi

run_suite "native build, and the Windows executable under Wine" "$root/build/ci" "${windows_exe[@]}"
run_suite "sanitizers (ASan, UBSan)" "$root/build/ci-sanitize" -DBFQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
run_fuzz "${BFQ_FUZZ_SECONDS:-60}"

echo
echo "tests: $passed passed, $failed failed"
((failed == 0))
