#!/usr/bin/env bash
# Smoke test of the game: runs the built game under Xvfb on a copy of the demo
# data for a few hundred frames: from the menu, straight into the first level,
# and on into the second level. Fails when the game does not end by itself with
# status 0, prints a GL error, or cannot import one of the demo models.
# Usage: scripts/smoke-game.sh [path to duzgame] (default: build/game/game/duzgame)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
game="$(realpath "${1:-$root/build/game/game/duzgame}")"
[ -x "$game" ] || { echo "no game at $game (build it with scripts/run-game.sh or -DDUZ_BUILD_GAME=ON)"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$root/scripts/make-demo-data.py" "$work" >/dev/null
cd "$work"
export SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
for autostart in 0 1 2; do
  log="$work/run-$autostart.log"
  if ! DUZ_GAME_LOG=1 DUZ_GAME_AUTOQUIT_FRAMES=300 DUZ_GAME_AUTOSTART=$autostart timeout 120 \
       xvfb-run -a -s "-screen 0 1024x768x24" "$game" >"$log" 2>&1; then
    cat "$log"; echo "smoke test failed (autostart=$autostart)"; exit 1
  fi
  if grep -q "GL Error" "$log"; then
    cat "$log"; echo "smoke test saw GL errors (autostart=$autostart)"; exit 1
  fi
  grep -q "Loading, please wait ..." "$log" || { cat "$log"; echo "no banner"; exit 1; }
  if grep -q "model not imported" "$log"; then
    grep "model not imported" "$log"; echo "smoke test could not import models (autostart=$autostart)"; exit 1
  fi
  echo "autostart=$autostart: $(grep -c "^model " "$log") models imported"
done

# A physics engine that cannot start is reported on the console, log or no log,
# and ends the game.
log="$work/run-nophysics.log"
if DUZ_PHYSICS_CREATE_ERROR=2 timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$game" >"$log" 2>/dev/null; then
  cat "$log"; echo "the game went on without its physics engine"; exit 1
fi
grep -q "^SDK create error (2 - NXCE_WRONG_VERSION)." "$log" &&
  grep -q "^Unable to initialize the PhysX SDK, exiting the sample." "$log" ||
  { cat "$log"; echo "the physics start-up error did not reach the console"; exit 1; }
echo "physics start-up error: reported"

# kill and timeout end the game while it plays (its music started): its pid
# comes from the shell that becomes the game.
log="$work/run-sigterm.log"
DUZ_GAME_LOG=1 DUZ_GAME_AUTOSTART=1 xvfb-run -a -s "-screen 0 1024x768x24" \
  sh -c 'echo $$ >"$1"; exec "$2"' sh "$work/game.pid" "$game" >"$log" 2>&1 &
runner=$!
for _ in $(seq 1200); do
  grep -qE "^(playing sound|Fmod not initialized!|soundfile not loaded!|file could not played)$" "$log" && break
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
grep -qE "^(playing sound|Fmod not initialized!|soundfile not loaded!|file could not played)$" "$log" ||
  { cat "$log"; echo "the game did not come up"; exit 1; }
kill -TERM "$(cat "$work/game.pid")"
for _ in $(seq 200); do
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$runner" 2>/dev/null; then
  kill -KILL "$(cat "$work/game.pid")" 2>/dev/null || true
  wait "$runner" || true
  echo "the game did not end on SIGTERM"; exit 1
fi
wait "$runner" || true
echo "SIGTERM: the game ended"
echo "game smoke test passed"
