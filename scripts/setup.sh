#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent and quiet: it only
# calls apt-get when a package is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libtinyobjloader-dev
  libfast-float-dev
  python3-ezdxf lib3ds-dev
  libgcrypt20-dev
  libtiff-dev zlib1g-dev
  libxml2-dev python3-collada opencollada-tools
  libbullet-dev libsdl2-mixer-dev
  clang libclang-rt-14-dev
  freeglut3-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dri xvfb xauth python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
