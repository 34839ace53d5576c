#!/usr/bin/env bash
# Soak test of PC recording (not part of CI): the simulator streams 12 channels (six at 1000
# samples/s, six at 500), ten recorder seconds per wall second, with 1 % of its frames corrupted, while
# `nereid record` records one recorder hour in each form (DADiSP, CSS, SEISAN), the three at
# once on three simulators. Every simulated minute the recorder's resident memory and CPU time
# are sampled; at the end every recorded sample is checked against the simulator's signal.
#   scripts/soak.sh [BUILD_DIR] [RECORDER_SECONDS]     (defaults: build, 3600)
# The build needs -DNEREID_SOAK=ON (for build/soak/soak_check).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
seconds=${2:-3600}
scale=10
sim="$build/sim/nereid-sim"
cli="$build/cli/nereid"
check="$build/soak/soak_check"
for tool in "$sim" "$cli" "$check"; do
    [ -x "$tool" ] || { echo "missing $tool (configure with -DNEREID_SOAK=ON and build)" >&2; exit 2; }
done
work=$(mktemp -d /tmp/nereid-soak-XXXXXX)
echo "work folder: $work"
# The recorder starts wavexport from its own folder for the SEISAN form.
mkdir -p "$work/bin"
cp "$cli" "$build/wavexport/wavexport" "$work/bin/"
cli="$work/bin/nereid"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
}
trap cleanup EXIT
ticks=$(getconf CLK_TCK)
page_kb=$(( $(getconf PAGESIZE) / 1024 ))

# The simulator plays at most six streams: channels 1..6 at 1000 samples/s and their secondary
# streams 9..14 at 500 (the model's secondary rate is at most half the primary one).
channels=1,2,3,4,5,6,9,10,11,12,13,14
rates=(channel.1.rate=1000 channel.4.rate=1000 channel.9.rate=500 channel.12.rate=500)

start_sim() {   # form seed
    local line="$work/line-$1"
    "$sim" --link "$line" --model 17 --streams 6 --realtime --time-scale "$scale" --corrupt 0.01 \
        --seed "$2" --start-time 2026-03-01T00:00:00Z >"$work/sim-$1.out" 2>"$work/sim-$1.err" &
    pids+=($!)
    for _ in $(seq 100); do [ -e "$line" ] && break; sleep 0.1; done
    "$cli" --port "$line" config set "${rates[@]}" >"$work/config-$1.out" 2>&1 ||
        { echo "config set failed for $1:"; cat "$work/config-$1.out"; exit 1; }
}

forms=(dadisp css seisan)
seed=1
for form in "${forms[@]}"; do start_sim "$form" $seed; seed=$((seed + 1)); done

declare -A rec
for form in "${forms[@]}"; do
    mkdir -p "$work/$form"
    "$cli" --port "$work/line-$form" record --format "$form" --minutes 10 --seconds "$seconds" \
        --dir "$work/$form" --channels "$channels" >"$work/record-$form.out" 2>"$work/record-$form.err" &
    rec[$form]=$!
    pids+=($!)
done

# One sample per simulated minute: resident memory (kB) and CPU seconds of each recorder.
began=$(date +%s.%N)
minute=0
while :; do
    alive=0
    for form in "${forms[@]}"; do
        pid=${rec[$form]}
        [ -r "/proc/$pid/stat" ] || continue
        alive=1
        rss=$(awk '{print $24}' "/proc/$pid/stat")
        cpu=$(awk '{print $14 + $15}' "/proc/$pid/stat")
        echo "$minute $((rss * page_kb)) $cpu" >>"$work/memory-$form.txt"
    done
    [ "$alive" -eq 0 ] && break
    sleep $(awk "BEGIN{print 60/$scale}")
    minute=$((minute + 1))
done
ended=$(date +%s.%N)
wall=$(awk "BEGIN{print $ended - $began}")

status=0
printf '\n%-7s %10s %10s %10s %8s  %s\n' form "rss@1min" "rss@last" "rss-max" "cpu%" "samples"
for form in "${forms[@]}"; do
    wait "${rec[$form]}"
    rc=$?
    mem="$work/memory-$form.txt"
    first=$(awk '$1 == 1 {print $2}' "$mem")
    last=$(tail -1 "$mem" | awk '{print $2}')
    peak=$(awk 'BEGIN{m=0} $2 > m {m=$2} END{print m}' "$mem")
    cpu=$(tail -1 "$mem" | awk -v t="$ticks" -v w="$wall" '{printf "%.1f", 100 * $3 / t / w}')
    # Every file but the CSS headers (read with their data files): DADiSP files of every form
    # and, for SEISAN, the merged period files as well.
    files=$(find "$work/$form" -type f ! -name 'CH*' | sort)
    # shellcheck disable=SC2086
    result=$("$check" $files 2>"$work/check-$form.err") || status=1
    printf '%-7s %8s kB %8s kB %8s kB %7s%%  %s\n' "$form" "$first" "$last" "$peak" "$cpu" "$result"
    [ "$rc" -eq 0 ] || { echo "  nereid record exited $rc:"; tail -3 "$work/record-$form.err"; status=1; }
    [ -s "$work/check-$form.err" ] && head -5 "$work/check-$form.err" | sed 's/^/  /'
done
echo "wall time ${wall%.*} s; memory samples in $work/memory-<form>.txt (minute, kB, CPU ticks)"
exit $status
