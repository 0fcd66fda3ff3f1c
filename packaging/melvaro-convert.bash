# bash completion for melvaro-convert.
# Every option is named once in one of the two lists below: those that take
# a value (with what to offer for it in the case statement) and those that
# take none. A new option is one more word in its list.

_melvaro_convert() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}

  local with_value="-o --output -j --jobs -f --format -b --bitrate -q --quality --rate --channels --target --layout --name --existing --replaygain --normalize --threads-per-file --memory-limit"
  local without_value="--mirror --prune --copy-same-format -n --dry-run --no-split --chapters --verify --no-verify --retry-failed -h --help --version"

  case $prev in
    -o | --output)
      COMPREPLY=($(compgen -d -- "$cur"))
      return
      ;;
    -f | --format)
      COMPREPLY=($(compgen -W "mp3 ogg opus m4a flac wav" -- "$cur"))
      return
      ;;
    --rate)
      COMPREPLY=($(compgen -W "keep 8000 11025 16000 22050 24000 32000 44100 48000 88200 96000" -- "$cur"))
      return
      ;;
    --channels)
      COMPREPLY=($(compgen -W "1 2 keep" -- "$cur"))
      return
      ;;
    --target)
      local targets="" base prefix
      for base in vcd svcd dvd dv; do
        targets+=" $base"
        for prefix in pal ntsc film; do targets+=" $prefix-$base"; done
      done
      COMPREPLY=($(compgen -W "$targets" -- "$cur"))
      return
      ;;
    --layout)
      COMPREPLY=($(compgen -W "flat tree beside" -- "$cur"))
      return
      ;;
    --existing)
      COMPREPLY=($(compgen -W "replace skip update" -- "$cur"))
      return
      ;;
    --replaygain)
      COMPREPLY=($(compgen -W "track" -- "$cur"))
      return
      ;;
    --normalize)
      return  # a loudness in LUFS, such as -16
      ;;
    --memory-limit)
      return  # MiB
      ;;
    --name)
      return  # a pattern such as {artist}/{album}/{track:02} {title}
      ;;
    -j | --jobs | -b | --bitrate | -q | --quality | --threads-per-file)
      return  # a number
      ;;
  esac

  # After "--" everything is a file.
  local i
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} == -- ]]; then
      COMPREPLY=($(compgen -f -- "$cur"))
      return
    fi
  done
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$with_value $without_value --" -- "$cur"))
    return
  fi
  COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -o bashdefault -F _melvaro_convert melvaro-convert
