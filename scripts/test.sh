#!/usr/bin/env bash
# Sets up the machine, builds the SDK with sanitizers and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/setup.sh

# A fresh clone in another folder still hits the cache.
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=1
export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# No sound device on a test machine: the sound layer plays into a null device.
export SDL_AUDIODRIVER=dummy

# A short bounded fuzzing pass over the file readers (clang's libFuzzer).
scripts/fuzz.sh "${DUZ_FUZZ_SECONDS:-10}"

build="$root/build/test"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDUZ_SANITIZE=ON -DDUZ_BUILD_GAME=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure --timeout 300
