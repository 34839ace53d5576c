#!/usr/bin/env bash
# One entry point for setting up, building, running and testing the Nereid Utility.
#   scripts/dev.sh run    install what is missing, build, start the simulator and the program
#   scripts/dev.sh test   install what is missing, build, run every test (also under sanitizers)
#   scripts/dev.sh screenshots   run the GUI tests and the station page check, copy their pictures into docs/
#   scripts/dev.sh fuzz [SECONDS]  build the fuzzers, run each SECONDS (default 60), summarise
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake g++ make ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev libfftw3-dev libmseed-dev xvfb xauth clang libclang-rt-14-dev
          mseed2sac sac2mseed)
# The independent SeedLink client of the tests (seisplotjs from npm) runs on Node. A machine
# whose nodejs package already brings npm (as other Node distributions' packages do) cannot
# take Debian's npm beside it, so npm is asked for only where the command is missing.
packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
# The station page (nereid serve --http) is checked in a headless browser.
packages+=(chromium)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# npm packages of the tests and of the station page (web/: seisplotjs and esbuild, bundled at
# build time), exactly as their lock files name them; never kept in the tree.
install_node_packages() {
    local dir
    for dir in tests/seedlink/node web; do
        if [ ! -d "$dir/node_modules" ] || [ "$dir/package-lock.json" -nt "$dir/node_modules" ]; then
            (cd "$dir" && npm ci --no-audit --no-fund)
            touch "$dir/node_modules"
        fi
    done
}

build() {   # build DIR [cmake options...]
    local dir=$1; shift
    # Ninja keeps both cores busy across targets where make waits at each folder; a folder
    # made earlier keeps the generator it was made with (CMake refuses to switch).
    local generator=()
    if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    # Release: what the operator runs, and without debug information the compiler needs
    # a quarter to a third less time. Developers who debug configure a folder of their own.
    cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

# The sanitizer build: clang, AddressSanitizer and UndefinedBehaviorSanitizer, and the
# libFuzzer harnesses in the same build (the libraries carry the coverage hooks, so the
# fuzzers cost one compile and link each). A folder left by an older g++ build is reset.
build_sanitized() {
    if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang' build-asan/CMakeCache.txt; then
        rm -rf build-asan/CMakeCache.txt build-asan/CMakeFiles
    fi
    CC=clang CXX=clang++ build build-asan -DNEREID_CORE_ONLY=ON -DNEREID_SANITIZE=ON \
        -DNEREID_FUZZ=ON -DNEREID_BENCH=OFF
}

case "${1:-}" in
run)
    install_missing
    install_node_packages
    build build
    exec scripts/demo.sh build
    ;;
test)
    install_missing
    install_node_packages
    build build
    # GUI tests need no display: Qt's offscreen platform.
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300)
    # The core again, without Qt, under AddressSanitizer and UndefinedBehaviorSanitizer.
    build_sanitized
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j "$jobs" -L core --timeout 300)
    # A short fuzz run of every harness from its seeds.
    scripts/fuzz.sh build-asan 15 "$jobs"
    echo "All tests passed."
    ;;
screenshots)
    # The GUI tests draw every window they check into build/screenshots, and the browser
    # check the station page; this copies the pictures into docs/, which the README shows.
    # Tests never write into docs/ themselves.
    install_missing
    install_node_packages
    build build
    rm -rf build/screenshots
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" -L 'gui|web' --timeout 300)
    mkdir -p docs
    cp build/screenshots/*.png docs/
    ls -1 build/screenshots
    ;;
fuzz)
    install_missing
    build_sanitized
    scripts/fuzz.sh build-asan "${2:-60}" 1
    ;;
*)
    echo "usage: $0 run|test|screenshots|fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
