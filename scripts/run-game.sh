#!/usr/bin/env bash
# Builds the game (Release, no sanitizers, in build/game; CMAKE_BUILD_PARALLEL_LEVEL
# sets the build's jobs) and runs it on the demo data in assets/; under xvfb-run
# when there is no display, where Ctrl+C, kill or timeout end it.
# Extra arguments are passed to the game. Environment switches:
#   DUZ_GAME_AUTOQUIT_FRAMES=N  end after N frames;  DUZ_GAME_AUTOSTART=1  skip the menu
#   (2: go on to the second level at once);  DUZ_GAME_LOG=1  diagnostic log to standard
#   error;  DUZ_GAME_SCREENSHOT=file  with AUTOQUIT: the last frame as a binary PPM.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" --game
cmake -S "$root" -B "$root/build/game" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUZ_SANITIZE=OFF \
  -DDUZ_BUILD_GAME=ON -DDUZ_BUILD_TESTS=OFF -DDUZ_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/game" --target duzgame
[ -f "$root/assets/config.ini" ] || python3 "$root/scripts/make-demo-data.py"
cd "$root/assets"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$root/build/game/game/duzgame" "$@"
fi
exec "$root/build/game/game/duzgame" "$@"
