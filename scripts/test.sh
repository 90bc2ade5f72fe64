#!/usr/bin/env bash
# Sets up the machine, builds everything twice, failing on any warning: gcc
# Release (SDK, tests, benchmarks, game), and clang with AddressSanitizer and
# UndefinedBehaviorSanitizer (SDK, tests, game and the fuzz targets, the library
# instrumented for libFuzzer as well). Checks the installed SDK package with the
# README's example, runs every test in both builds, and a short fuzzing pass.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/setup.sh

# A fresh clone in another folder still hits the cache; the tests' precompiled
# headers are cached too.
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=1
export CCACHE_SLOPPINESS="pch_defines,time_macros,include_file_mtime,include_file_ctime"
export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# No sound device on a test machine: the sound layer plays into a null device.
export SDL_AUDIODRIVER=dummy
jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

# Configures and builds one tree; any compiler or linker warning fails the run.
build_without_warnings() {
  local dir="$1"
  shift
  local log="$dir.log"
  mkdir -p "$(dirname "$dir")"
  cmake -S . -B "$dir" -G Ninja -DDUZ_BUILD_GAME=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" >/dev/null
  if ! cmake --build "$dir" -j "$jobs" 2>&1 | tee "$log"; then
    echo "build failed: $dir"; exit 1
  fi
  if grep -q "warning:" "$log"; then
    grep "warning:" "$log"; echo "build warnings in $dir"; exit 1
  fi
}

run_tests() {
  ctest --test-dir "$1" -j "$jobs" --output-on-failure --timeout 600
}

# gcc's optimiser finds what an -O1 build does not (dangling pointers, bounds),
# and the tests pass with the SDK optimised as users build it.
release="$root/build/ci-release"
build_without_warnings "$release" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
scripts/check-sdk-package.sh "$release"
run_tests "$release"

# One sanitizer build serves the tests and the fuzz targets; the benchmarks
# are built (and their warnings seen) above and do not run here.
build="$root/build/test"
# Line tables are all the sanitizers' reports need.
build_without_warnings "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DDUZ_SANITIZE=ON -DDUZ_BUILD_FUZZ=ON -DDUZ_BUILD_BENCH=OFF
# A short bounded fuzzing pass over the file readers (clang's libFuzzer).
scripts/fuzz.sh "${DUZ_FUZZ_SECONDS:-10}" "$build"
run_tests "$build"
