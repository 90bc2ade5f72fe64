#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [build folder]
# A build folder given is one already configured with -DDUZ_BUILD_FUZZ=ON and
# built (scripts/test.sh passes its sanitizer build); without one, the targets
# are built in build/fuzz.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
seconds="${1:-60}"
build="${2:-}"
if [ -z "$build" ]; then
  if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not found, skipping"
    exit 0
  fi
  export CCACHE_BASEDIR="$root"
  export CCACHE_NOHASHDIR=1
  build="$root/build/fuzz"
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DDUZ_SANITIZE=ON -DDUZ_BUILD_FUZZ=ON \
    -DDUZ_BUILD_GAME=ON -DDUZ_BUILD_TESTS=OFF -DDUZ_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" >/dev/null
fi
shopt -s nullglob
# Targets run side by side (one core each, at most four at a time); each keeps
# its own log and scratch folder.
parallel="$(nproc)"
[ "$parallel" -gt 4 ] && parallel=4
names=()
pids=()
for src in fuzz/*.cpp; do
  name="$(basename "$src" .cpp)"
  [ -x "$build/fuzz/$name" ] || { echo "fuzz: $name not built, skipped"; continue; }
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  # A target's own libFuzzer flags, when it needs any, sit beside it.
  flags=()
  [ -f "fuzz/$name.flags" ] && read -r -a flags < "fuzz/$name.flags"
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  echo "fuzz: $name for ${seconds}s"
  "$build/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "${flags[@]}" \
    "$corpus" "${seeds[@]}" 2>"$build/$name.log" &
  names+=("$name")
  pids+=("$!")
done
failed=0
for i in "${!pids[@]}"; do
  if ! wait "${pids[$i]}"; then
    echo "fuzz: ${names[$i]} failed"; tail -50 "$build/${names[$i]}.log"; failed=1
  fi
done
[ "$failed" -eq 0 ] || exit 1
echo "fuzz: all targets ran clean"
