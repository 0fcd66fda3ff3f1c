#!/usr/bin/env bash
# Installs, from Debian's packages, whatever Melvaro needs to build, run, test and
# package that is not there yet. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  dpkg-dev file
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev qt6-l10n-tools
  libtag1-dev
  libebur128-dev
  libgtest-dev
  libcue-dev
  clang libclang-rt-dev
  lame mpg123 time
  librsvg2-bin
  appstream desktop-file-utils
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
