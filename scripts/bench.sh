#!/usr/bin/env bash
# Measures what a run costs, and prints the figures: the profile layer on its own
# (Google Benchmark: parse speed, time per lookup), then whole runs of the Release
# build on generated libraries against cat and dd doing the least the same job needs.
# Judges nothing and fails only when something cannot be built or run.
# Installs what is missing. BFQ_BENCH_REPETITIONS sets the whole-run repetitions (31).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
root=$(repo_root)
ensure_packages cmake g++ make libbenchmark-dev coreutils time
dir="$root/build/bench"
configure_and_build "$dir" -DCMAKE_BUILD_TYPE=Release -DBFQ_BENCHMARKS=ON -DBUILD_TESTING=OFF >/dev/null

echo "== Machine"
echo "$(nproc) cores, $(sed -nE 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
    "$(free -g | awk '/^Mem:/ {print $2}') GiB memory, Linux $(uname -r)," \
    "$(. /etc/os-release && echo "$PRETTY_NAME"), $(g++ -dumpfullversion -dumpversion | head -1 | sed 's/^/g++ /')"
scratch=${TMPDIR:-/var/tmp}
echo "Scratch folder $scratch on $(df -T "$scratch" | awk 'NR == 2 {print $2 " (" $1 ")"}')"
echo
echo "== Profile layer (argument: areas in the library)"
"$dir/bench/profile_bench"
echo
echo "== Whole runs"
"$dir/bench/whole_run_bench" "$dir/brackenfelloquist" "${BFQ_BENCH_REPETITIONS:-31}"
