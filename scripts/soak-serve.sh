#!/bin/sh
# Soak of the SeedLink station service (not part of CI).
# 1. serve_soak: 16 channels x 1000 samples/s at ten times real time for ten simulated minutes
#    through a ring file, two SeedLink clients taking everything. Prints resident memory per
#    simulated minute, the CPU share, records per second, the record latency (p50/p95 beside a
#    record's span), the ring file's size and whether anything was lost; exits 1 on a loss.
#    Extra arguments go to it (--minutes, --channels, --rate, --scale, --ring-minutes,
#    --latency, --libmseed-packing 1 for the packing of before).
# 2. nereid serve on nereid-sim with the recorder silent: the CPU share and the wake-ups per
#    second of an idle station (IDLE_SECONDS, default 20).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -d "$build" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j2 --target serve_soak nereid nereid-sim
work=$(mktemp -d /tmp/nereid-soak-serve-XXXXXX)
trap 'rm -rf "$work"' EXIT

"$build/bench/serve_soak" --ring-file "$work/soak.ring" "$@"

idle=${IDLE_SECONDS:-20}
"$build/sim/nereid-sim" --link "$work/line" --realtime --skip-seconds +2-100000000 \
    >/dev/null 2>"$work/sim.err" &
sim=$!
sleep 1
"$build/cli/nereid" --port "$work/line" serve --seedlink 127.0.0.1:0 --silence 3600 \
    --ring-file "$work/idle.ring" >/dev/null 2>"$work/serve.err" &
serve=$!
sleep 6 # connected, and the two seconds of data gone
ticks() { awk '{print $14 + $15}' "/proc/$serve/stat"; }
switches() { cat /proc/$serve/task/*/status | awk '/ctxt_switches/ {s += $2} END {print s}'; }
t0=$(ticks)
s0=$(switches)
sleep "$idle"
t1=$(ticks)
s1=$(switches)
hz=$(getconf CLK_TCK)
echo "idle nereid serve: $(echo "scale=2; 100 * ($t1 - $t0) / $hz / $idle" | bc) % of a core," \
    "$(echo "($s1 - $s0) / $idle" | bc) wake-ups per second over $idle s"
kill "$serve"
wait "$serve" || true
kill "$sim"
wait "$sim" 2>/dev/null || true
