#!/usr/bin/env bash
# Installs the SDK from a configured build folder into a scratch prefix, then
# builds the README's example program (taken from the README's own text, so the
# example cannot fall behind the SDK) against the installed package and runs it
# on a demo model and on a file that does not exist.
# Usage: scripts/check-sdk-package.sh <build folder>
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:?usage: scripts/check-sdk-package.sh <build folder>}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

# Each example file is the fenced block after its "<!-- example: name -->" line.
mkdir -p "$work/example"
/usr/bin/python3 - "$root/README.md" "$work/example" <<'PY'
import os, re, sys
text = open(sys.argv[1], encoding="utf-8").read()
found = re.findall(r"<!-- example: (\S+) -->\n```[a-z]*\n(.*?)```", text, re.S)
if not found:
    sys.exit("README: no example blocks")
for name, body in found:
    with open(os.path.join(sys.argv[2], name), "w", encoding="utf-8") as f:
        f.write(body)
PY
[ -f "$work/example/CMakeLists.txt" ] || { echo "README: no example CMakeLists.txt"; exit 1; }

# Warnings count as failures here too.
cmake -S "$work/example" -B "$work/example/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra" >/dev/null
cmake --build "$work/example/build" >/dev/null
program="$work/example/build/list_nodes"

out="$("$program" "$root/assets/level1/dynamic/enemy.duz")"
for node in leg_left leg_right body; do
  grep -q "^ *$node (mesh)$" <<<"$out" || { echo "$out"; echo "example: no mesh node $node"; exit 1; }
done
# A file the readers cannot open, and one the DUZ 6 reader opens but refuses.
printf '; DUZ 7.0.0 project file\nDUZHeaderExtension:  {\n    DUZHeaderVersion: 1003\n    DUZVersion: 7000\n}\n' >"$work/seven.duz"
for file in "$work/none.duz" "$work/seven.duz"; do
  if err="$("$program" "$file" 2>&1)"; then
    echo "example: $file imported"; exit 1
  fi
  grep -q "^$file: ." <<<"$err" || { echo "$err"; echo "example: no error for $file"; exit 1; }
  echo "$err"
done
echo "SDK package: the README example builds against the installed SDK and runs"

# Added as another project's subdirectory, the SDK brings its target but none of
# its tests, benchmarks or the game's runtimes.
mkdir -p "$work/sub"
cat >"$work/sub/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(host CXX)
add_subdirectory("$root" duz)
foreach(target duzsdk::duzsdk)
  if(NOT TARGET \${target})
    message(FATAL_ERROR "no \${target}")
  endif()
endforeach()
foreach(target test_base test_object KDuzBench duzphysics duzsound)
  if(TARGET \${target})
    message(FATAL_ERROR "\${target} is built for a host project")
  endif()
endforeach()
CMAKE
cmake -S "$work/sub" -B "$work/sub/build" -G Ninja >"$work/sub.log" 2>&1 || { cat "$work/sub.log"; exit 1; }
echo "SDK as a subdirectory: no tests, benchmarks or game runtimes"
