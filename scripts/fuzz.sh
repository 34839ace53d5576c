#!/usr/bin/env bash
# Runs every libFuzzer harness of a build for SECONDS each and prints one line per harness:
# executions, executions per second, findings. Exits 1 when any harness found something.
#   scripts/fuzz.sh BUILD_DIR SECONDS [PARALLEL]
# Seeds come from fuzz/corpus/<harness> (never written); new inputs go to
# BUILD_DIR/fuzz/work/<harness>, crashes to BUILD_DIR/fuzz/findings/<harness>-*.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?build folder}
seconds=${2:-60}
parallel=${3:-1}
bin="$build/fuzz/bin"
if [ ! -d "$bin" ] || [ -z "$(ls -A "$bin" 2>/dev/null)" ]; then
    echo "no fuzz harnesses in $bin (configure with clang and -DNEREID_FUZZ=ON)" >&2
    exit 2
fi
mkdir -p "$build/fuzz/work" "$build/fuzz/findings" "$build/fuzz/logs"

run_one() {
    local exe=$1 seconds=$2 top=$3 build=$4
    local name
    name=$(basename "$exe")
    local work="$build/fuzz/work/$name" seeds="$top/fuzz/corpus/$name"
    mkdir -p "$work"
    local dirs=("$work")
    [ -d "$seeds" ] && dirs+=("$seeds")
    rm -f "$build/fuzz/findings/$name"-*
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$exe" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz/findings/$name-" "${dirs[@]}" \
        >"$build/fuzz/logs/$name.log" 2>&1
    echo $? >"$build/fuzz/logs/$name.rc"
}
export -f run_one

ls "$bin"/* | xargs -P "$parallel" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$top" "$build"

status=0
printf '%-20s %12s %10s %9s\n' harness executions exec/s findings
for exe in "$bin"/*; do
    name=$(basename "$exe")
    log="$build/fuzz/logs/$name.log"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    found=$(ls "$build/fuzz/findings/$name"-* 2>/dev/null | wc -l)
    rc=$(cat "$build/fuzz/logs/$name.rc" 2>/dev/null || echo 1)
    if [ "$rc" -ne 0 ] && [ "$found" -eq 0 ]; then
        found=1 # it stopped without leaving an input: see the log
    fi
    printf '%-20s %12s %10s %9s\n' "$name" "${runs:-?}" "${rate:-?}" "$found"
    if [ "$found" -ne 0 ]; then
        status=1
        echo "  $log:" && grep -m3 -E 'ERROR: |invariant broken|runtime error|SUMMARY' "$log" | sed 's/^/    /'
        ls "$build/fuzz/findings/$name"-* 2>/dev/null | sed 's/^/    /'
    fi
done
exit $status
