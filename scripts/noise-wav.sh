# Sourced by the benchmarks. noise_wav FILE RATE CHANNELS SECONDS writes a
# 16-bit PCM WAV (a canonical 44-byte header) holding noise, which keeps an
# encoder as busy as dense music does. SECONDS may be a decimal fraction.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
noise_wav() {
  local file=$1 rate=$2 channels=$3 seconds=$4
  local frames data_bytes
  frames=$(awk -v r="$rate" -v s="$seconds" 'BEGIN { printf "%d", r * s }')
  data_bytes=$((frames * channels * 2))
  {
    printf 'RIFF'; le32 $((36 + data_bytes)); printf 'WAVEfmt '
    le32 16; le16 1; le16 "$channels"; le32 "$rate"; le32 $((rate * channels * 2))
    le16 $((channels * 2)); le16 16
    printf 'data'; le32 "$data_bytes"
    head -c "$data_bytes" /dev/urandom
  } >"$file"
}
