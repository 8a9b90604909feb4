#!/usr/bin/env bash
# Runs the tool on the bundled example: a Wine-style prefix with an FSX library
# and a configuration file, copied to a scratch folder so the example never changes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
root=$(repo_root)
ensure_packages cmake g++ make
cmake -S "$root" -B "$root/build/example" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/build/example" --target brackenfelloquist -j "$(nproc)" >/dev/null
tool="$root/build/example/brackenfelloquist"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brackenfelloquist-example.XXXXXX")
cp -r "$root/examples/." "$scratch/"
library="$scratch/prefix/drive_c/ProgramData/Microsoft/FSX/Scenery.cfg"
cd "$scratch"
export WINEPREFIX="$scratch/prefix"

echo "== Working folder: $scratch"
echo "== BrackenfelloquistConfig.ini:"
tr -d '\r' < BrackenfelloquistConfig.ini
echo
echo "== First run"
status=0; "$tool" || status=$?
echo "== Exit status: $status"
echo "== What the run added to $library:"
diff <(tr -d '\r' < "$root/examples/prefix/drive_c/ProgramData/Microsoft/FSX/Scenery.cfg") <(tr -d '\r' < "$library") || true
echo
echo "== Second run: the scenery is already there"
status=0; "$tool" || status=$?
echo "== Exit status: $status"
