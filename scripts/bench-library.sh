#!/usr/bin/env bash
# Benchmark of a library mirror: a generated tree of short tagged FLAC files
# (Artist/Album/NN Title.flac, 20,000 by default) mirrored to MP3 with
#   melvaro-convert --mirror --prune -j 2 -o OUT TREE
# 1. the first mirror: files per second and peak memory, also for a tree of
#    2,000 files (aim: peak memory flat in the number of files apart from the
#    record and the task list);
# 2. the same again with nothing changed: wall time and peak memory, warm
#    and, when the page cache may be dropped (root), cold (aim: under 3 s and
#    100 MiB for 20,000 files);
# 3. after touching 10 sources and deleting 5: how many were converted and
#    pruned (expected: 10 and 5);
# then 200 three-second WAVs through melvaro-convert -j 2 against
# `xargs -P2 -n1 lame -b 128` on the same files (aim: a ratio of 1.10 or less).
# A benchmark, not a test: it fails only when a run fails.
#
#   scripts/bench-library.sh [FILES] [BUILD_DIR]
#
# FILES (default 20000) is the size of the tree; a few hundred is enough
# while developing. BUILD_DIR defaults to build-bench, configured as a
# Release build when it does not exist yet.
set -euo pipefail
cd "$(dirname "$0")/.."

files=${1:-20000}
. scripts/bench-program.sh
bench_program "${2:-build-bench}"

# One tiny FLAC made once (0.2 s of noise), then written again under every
# name with its own Vorbis comment block: one process for the whole tree.
. scripts/noise-wav.sh
noise_wav "$work/seed.wav" 44100 2 0.2
flac --silent -f -o "$work/seed.flac" "$work/seed.wav"
make_tree() {
python3 - "$work/seed.flac" "$1" "$2" <<'EOF'
import os, struct, sys
seed, root, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(seed, "rb").read()
assert data[:4] == b"fLaC"
pos, blocks = 4, []
while True:
    head = data[pos]; size = int.from_bytes(data[pos + 1:pos + 4], "big")
    kind = head & 0x7F
    if kind not in (1, 4):  # padding and comments are replaced
        blocks.append((kind, data[pos + 4:pos + 4 + size]))
    pos += 4 + size
    if head & 0x80:
        break
frames = data[pos:]
def comments(tags):
    vendor = b"melvaro-bench"
    body = struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", len(tags))
    for key, value in tags:
        item = f"{key}={value}".encode()
        body += struct.pack("<I", len(item)) + item
    return body
tracks, albums = 20, 10
for i in range(count):
    artist, album, track = i // (tracks * albums), i // tracks % albums, i % tracks + 1
    folder = os.path.join(root, f"Artist {artist:03}", f"Album {album:02}")
    os.makedirs(folder, exist_ok=True)
    title = f"Song {track} of {album}"
    tags = [("ARTIST", f"Artist {artist:03}"), ("ALBUM", f"Album {album:02}"),
            ("TITLE", title), ("TRACKNUMBER", str(track)), ("DATE", "2020")]
    out = [b"fLaC"]
    all_blocks = blocks + [(4, comments(tags))]
    for n, (kind, body) in enumerate(all_blocks):
        last = 0x80 if n == len(all_blocks) - 1 else 0
        out.append(bytes([last | kind]) + len(body).to_bytes(3, "big") + body)
    out.append(frames)
    with open(os.path.join(folder, f"{track:02} {title}.flac"), "wb") as f:
        f.write(b"".join(out))
EOF
}
make_tree "$work/library" "$files"
small=$(( files < 2000 ? files : 2000 ))
make_tree "$work/small" "$small"

# Prints "WALL_SECONDS PEAK_KIB"; the run's output is in $work/log-$1.
# $2/$3: the tree and its mirror (default: the large one).
mirror() {
  local name=$1
  /usr/bin/time -f '%e %M' -o "$work/time-$name" \
    "$program" --mirror --prune -j 2 -o "${3:-$work/mirror}" "${2:-$work/library}" >"$work/log-$name" 2>&1 ||
    { tail -5 "$work/log-$name" >&2; exit 1; }
  cat "$work/time-$name"
}

echo "melvaro-convert --mirror --prune -j 2: $files tagged FLAC files (0.2 s each) to MP3"
echo "cores available: $(nproc); load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
read -r walls peaks <<<"$(mirror small "$work/small" "$work/small-mirror")"
printf 'first mirror, %5d files: %8.2f s wall, peak %7d KiB\n' "$small" "$walls" "$peaks"
read -r wall1 peak1 <<<"$(mirror first)"
printf 'first mirror:      %8.2f s wall, %7.1f files/s, peak %7d KiB; %s\n' "$wall1" \
  "$(awk -v n="$files" -v w="$wall1" 'BEGIN { print n / w }')" "$peak1" "$(tail -1 "$work/log-first")"
read -r wall2 peak2 <<<"$(mirror again)"
printf 'nothing changed:   %8.2f s wall, peak %7d KiB (aim: < 3 s and < 102400 KiB); %s\n' \
  "$wall2" "$peak2" "$(tail -1 "$work/log-again")"
if sync && { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
  read -r wall2c peak2c <<<"$(mirror cold)"
  printf 'nothing changed, cold cache: %6.2f s wall, peak %7d KiB\n' "$wall2c" "$peak2c"
else
  echo 'nothing changed, cold cache: not measured (dropping the page cache needs root)'
fi

# Ten sources touched (a new modification time), five deleted.
mapfile -t sources < <(find "$work/library" -name '*.flac' | sort)
step=$(( ${#sources[@]} / 15 ))
for i in $(seq 0 9); do touch -d '+1 minute' "${sources[$((i * step))]}"; done
for i in $(seq 10 14); do rm "${sources[$((i * step))]}"; done
read -r wall3 peak3 <<<"$(mirror changed)"
printf '10 touched, 5 gone: %7.2f s wall, peak %7d KiB; %s\n' "$wall3" "$peak3" \
  "$(tail -1 "$work/log-changed")"

# 200 three-second WAVs, flat, against lame on two processes.
mkdir -p "$work/wavs" "$work/lame"
noise_wav "$work/wavs/000.wav" 44100 2 3
for i in $(seq 1 199); do cp "$work/wavs/000.wav" "$(printf '%s/wavs/%03d.wav' "$work" "$i")"; done
TIMEFORMAT='%R'
melvaro=$( { time "$program" -j 2 -o "$work/wav-out" "$work"/wavs/*.wav >"$work/log-wavs" 2>&1; } 2>&1)
lame=$( { time (cd "$work/wavs" && ls *.wav | xargs -P2 -n1 lame --quiet -b 128 >/dev/null 2>&1); } 2>&1)
printf '200 WAVs of 3 s:   melvaro-convert -j 2 %.2f s, xargs -P2 -n1 lame -b 128 %.2f s, ratio %.3f (aim <= 1.10)\n' \
  "$melvaro" "$lame" "$(awk -v m="$melvaro" -v l="$lame" 'BEGIN { print m / l }')"
