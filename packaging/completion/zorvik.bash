# bash completion for zorvik                                  -*- shell-script -*-
#
# Commands, their options, and file names by type: songs (.zvo files and
# .txt song texts), banks (.zvi), audio files. Needs nothing but bash.

# Adds to COMPREPLY the folders starting with $1 and the files starting with
# $1 whose names end in one of the extensions that follow, in any case.
_zorvik_files() {
  local cur=$1 f ext lower files=()
  shift
  # Read as lines, never split or glob-expanded: "[ab].zvo" is one name.
  mapfile -t files < <(compgen -f -- "$cur")
  for f in "${files[@]}"; do
    if [[ -d $f ]]; then
      COMPREPLY+=("$f")
      continue
    fi
    lower=${f,,}
    for ext in "$@"; do
      if [[ $lower == *."$ext" ]]; then
        COMPREPLY+=("$f")
        break
      fi
    done
  done
  # Outside of a completion in progress (as in the tests) compopt fails.
  compopt -o filenames 2>/dev/null || true
}

_zorvik_dirs() {
  local dir
  while IFS= read -r dir; do COMPREPLY+=("$dir"); done < <(compgen -d -- "$1")
  compopt -o filenames 2>/dev/null || true
}

_zorvik_songs() { _zorvik_files "$1" zvo txt; }
_zorvik_banks() { _zorvik_files "$1" zvi; }
# What zorvik render writes, and what bank build reads (libsndfile's).
_zorvik_outputs() { _zorvik_files "$1" wav rf64 flac aif aiff ogg oga opus mp3 mid midi; }
_zorvik_audio() {
  _zorvik_files "$1" wav rf64 w64 flac aif aiff aifc ogg oga opus mp3 au snd caf voc
}

# The options of a command (its words joined by a space), and which of them
# take a value: as the command's --help lists them (packaging/test.sh
# checks that they are the same).
_zorvik_options() {
  case $1 in
    play) echo "-l --loops -b --bank -w --watch -q --quiet" ;;
    render) echo "--samples --loops --seconds -b --bank -r --rate -g --gain" ;;
    "song decompile") echo "-s --sparse" ;;
    "song compile") echo "--strict" ;;
    "bank build") echo "-n --name -a --author -f --fill" ;;
  esac
}
_zorvik_takes_value() {
  case $2 in
    --loops | -b | --bank) [[ $1 == play || $1 == render ]] ;;
    -l) [[ $1 == play ]] ;;
    --samples | --seconds | -r | --rate | -g | --gain) [[ $1 == render ]] ;;
    -n | --name | -a | --author | -f | --fill) [[ $1 == "bank build" ]] ;;
    *) return 1 ;;
  esac
}

_zorvik() {
  COMPREPLY=()
  local cur=${COMP_WORDS[COMP_CWORD]} prev=""
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}

  # The command: one word, or two for song and bank.
  local cmd=${COMP_WORDS[1]-} first=2
  if ((COMP_CWORD == 1)); then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "--help --version" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "play render info song bank" -- "$cur")
    fi
    return 0
  fi
  case $cmd in
    song | bank)
      if ((COMP_CWORD == 2)); then
        local subs="decompile compile"
        [[ $cmd == bank ]] && subs="build list extract"
        mapfile -t COMPREPLY < <(compgen -W "$subs --help --version" -- "$cur")
        return 0
      fi
      cmd="$cmd ${COMP_WORDS[2]}"
      first=3
      ;;
    play | render | info) ;;
    *) return 0 ;;
  esac

  # An option's value: "--bank FILE", "--bank=FILE" as one word, or as
  # three when '=' breaks words ("--bank" "=" "FILE").
  local option="" prefix=""
  if [[ $cur == --*=* ]]; then
    option=${cur%%=*}
    prefix="$option="
    cur=${cur#*=}
  elif [[ $cur == = && $prev == --* ]]; then
    option=$prev
    cur=""
  elif [[ $prev == = ]] && ((COMP_CWORD >= 2)) && [[ ${COMP_WORDS[COMP_CWORD - 2]} == --* ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $prev == -* ]] && _zorvik_takes_value "$cmd" "$prev"; then
    option=$prev
  fi
  if [[ -n $option ]]; then
    _zorvik_takes_value "$cmd" "$option" || return 0
    case $option in
      -b | --bank) _zorvik_banks "$cur" ;;
      -r | --rate)
        mapfile -t COMPREPLY < <(compgen -W "22050 32000 32004 44100 48000 88200 96000" -- "$cur")
        ;;
      -f | --fill) mapfile -t COMPREPLY < <(compgen -W "silence default" -- "$cur") ;;
    esac
    if [[ -n $prefix ]]; then
      local i
      for i in "${!COMPREPLY[@]}"; do COMPREPLY[i]=$prefix${COMPREPLY[i]}; done
    fi
    return 0
  fi

  # Which operand the word is: options and their values are skipped, and
  # "--" ends the options.
  local i w operands=0 ended=0
  for ((i = first; i < COMP_CWORD; i++)); do
    w=${COMP_WORDS[i]}
    if ((!ended)); then
      if [[ $w == -- ]]; then
        ended=1
        continue
      fi
      if [[ $w == = ]]; then
        ((i++))
        continue
      fi
      if [[ $w == -?* ]]; then
        if [[ $w != *=* ]] && _zorvik_takes_value "$cmd" "$w" &&
          [[ ${COMP_WORDS[i + 1]-} != = ]]; then
          ((i++))
        fi
        continue
      fi
    fi
    ((operands++))
  done

  if ((!ended)) && [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_zorvik_options "$cmd") -h --help --version" -- "$cur")
    return 0
  fi

  case "$cmd:$operands" in
    play:*) _zorvik_songs "$cur" ;;
    render:0 | info:0 | "song decompile:0") _zorvik_songs "$cur" ;;
    render:1) _zorvik_outputs "$cur" ;;
    "song decompile:1" | "song compile:0") _zorvik_files "$cur" txt ;;
    "song compile:1") _zorvik_files "$cur" zvo ;;
    "bank build:0" | "bank list:0" | "bank extract:0") _zorvik_banks "$cur" ;;
    "bank build:"*) _zorvik_audio "$cur" ;;
    "bank extract:1") _zorvik_dirs "$cur" ;;
  esac
  return 0
}

complete -F _zorvik zorvik
