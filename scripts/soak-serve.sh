#!/bin/sh
# Soak of the SeedLink station service (not part of CI): 16 channels x 1000 samples/s at ten
# times real time for ten simulated minutes, two SeedLink clients taking everything. Prints
# resident memory per simulated minute, the CPU share and whether anything was lost; exits 1
# on a loss. Extra arguments go to the program (--minutes, --channels, --rate, --scale,
# --ring-minutes).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -d "$build" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j2 --target serve_soak
exec "$build/bench/serve_soak" "$@"
