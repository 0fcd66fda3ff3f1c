#!/usr/bin/env bash
# Checks the Debian package on each release named (default: bookworm trixie).
# For each, in fresh minimal chroots made by debootstrap: one builds the
# package from a clone of this repository's HEAD (the README's commands, then
# cpack), a second installs it with apt-get as a user would, converts a
# generated WAV file with melvaro-convert, starts the window program, then
# checks the files that make it a citizen of the desktop and the system
# (desktop entry and AppStream metadata through their validators, icons,
# manual pages, bash completion, --version) and runs lintian on the package
# (any error fails; warnings are printed), then purges the package and checks
# that none of its files is left.
# Needs root and the debootstrap package. MIRROR overrides the Debian mirror;
# PACKAGE=FILE.deb checks that package, built for the one release named,
# instead of building one. Base systems are cached as tarballs under
# $TMPDIR/melvaro-package-check.
set -euo pipefail
cd "$(dirname "$0")/.."

[ "$(id -u)" -eq 0 ] || { echo "run as root (chroot and debootstrap need it)" >&2; exit 1; }
command -v debootstrap >/dev/null ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(bookworm trixie)
# The mirror this machine's apt already uses, when it names one.
mirror=${MIRROR:-$(grep -h -o -m1 'http[^ ]*/debian$' /etc/apt/sources.list.d/*.sources \
  /etc/apt/sources.list 2>/dev/null | head -n 1 || true)}
mirror=${mirror:-http://deb.debian.org/debian}
work=${TMPDIR:-/tmp}/melvaro-package-check
mkdir -p "$work"

mounted=()
roots=()
unmount() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  mounted=()
}
trap 'unmount; for r in "${roots[@]}"; do rm -rf --one-file-system "$r"; done' EXIT

# A new root of the suite from its cached base; prints its path.
fresh_root() {
  local suite=$1 base="$work/base-$1.tgz"
  if [ ! -f "$base" ]; then
    debootstrap --variant=minbase --include=git,ca-certificates "$suite" "$work/base-$suite" \
      "$mirror" >"$work/debootstrap-$suite.log" 2>&1 ||
      { echo "debootstrap $suite failed, see $work/debootstrap-$suite.log" >&2; return 1; }
    tar -C "$work/base-$suite" -czf "$base" . && rm -rf "$work/base-$suite"
  fi
  local root
  root=$(mktemp -d "$work/root-$suite.XXXX")
  tar -C "$root" -xzf "$base"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  echo "$root"
}

in_root() {
  local root=$1
  shift
  mount -t proc proc "$root/proc" && mounted+=("$root/proc")
  mount --rbind /dev "$root/dev" && mounted+=("$root/dev")
  mount -t tmpfs tmpfs "$root/tmp" && mounted+=("$root/tmp")
  local rc=0
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive bash -c "$*" || rc=$?
  unmount
  return $rc
}

# One second of a 441 Hz square wave, 44100 Hz, 16-bit stereo.
write_wav() {
  local period="" high=$'\x40\x1f\x40\x1f' low=$'\xc0\xe0\xc0\xe0' i
  for ((i = 0; i < 50; i++)); do period+=$high; done
  for ((i = 0; i < 50; i++)); do period+=$low; done
  {
    printf 'RIFF\x34\xb1\x02\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00'
    printf '\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\x10\xb1\x02\x00'
    for ((i = 0; i < 441; i++)); do printf '%s' "$period"; done
  } >"$1"
}

# Sets package to the file built for the suite.
build_package() {
  local suite=$1 build
  build=$(fresh_root "$suite")
  roots+=("$build")
  git clone -q "$PWD" "$build/root/melvaro"
  in_root "$build" 'cd /root/melvaro && bash scripts/install-deps.sh &&
    cmake -S . -B build -G Ninja -DMELVARO_TESTS=OFF >/dev/null &&
    cmake --build build -j "$(nproc)" >/dev/null && cd build && cpack -G DEB >/dev/null'
  package=$(ls "$build"/root/melvaro/build/melvaro_*.deb)
}

check_suite() {
  local suite=$1 package install
  if [ -n "${PACKAGE:-}" ]; then
    package=$PACKAGE
  else
    echo "== $suite: building the package"
    build_package "$suite"
  fi
  echo "== $suite: installing $(basename "$package") on a fresh system"
  install=$(fresh_root "$suite")
  roots+=("$install")
  cp "$package" "$install/root/melvaro.deb"
  write_wav "$install/root/tone.wav"
  in_root "$install" 'cd /root && apt-get update -qq && apt-get install -y -qq ./melvaro.deb >/dev/null &&
    dpkg-query -W -f="\${Depends}\n" melvaro &&
    melvaro-convert -o /root/out /root/tone.wav && test -s /root/out/tone.mp3 &&
    test -f /usr/share/applications/melvaro.desktop &&
    apt-get install -y -qq --no-install-recommends lintian appstream desktop-file-utils man-db \
      >/dev/null &&
    desktop-file-validate /usr/share/applications/melvaro.desktop &&
    appstreamcli validate --no-net /usr/share/metainfo/*.metainfo.xml &&
    for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
      test -s /usr/share/icons/hicolor/$size/apps/melvaro.png || { echo "no $size icon"; exit 1; }
    done && test -s /usr/share/icons/hicolor/scalable/apps/melvaro.svg &&
    man -w melvaro >/dev/null && man -w melvaro-convert >/dev/null &&
    test -s /usr/share/bash-completion/completions/melvaro-convert &&
    melvaro --version && melvaro-convert --version &&
    echo "lintian:" && lintian --fail-on error --info /root/melvaro.deb &&
    { QT_QPA_PLATFORM=offscreen timeout 5 melvaro; test $? -eq 124; } &&
    echo "melvaro started" && dpkg -L melvaro >/root/files &&
    apt-get purge -y -qq melvaro >/dev/null &&
    left=$(while read -r f; do if [ -e "$f" ] && [ ! -d "$f" ]; then echo "$f"; fi; done </root/files) &&
    { [ -z "$left" ] && [ ! -e /usr/lib/melvaro ] || { echo "left behind: $left"; exit 1; }; }'
  echo "== $suite: package checked"
}

for suite in "${suites[@]}"; do check_suite "$suite"; done
