# bash completion for zorvikpla                               -*- shell-script -*-
#
# One argument: a song file (.zvo), or --help, -h or --version.

_zorvikpla() {
  COMPREPLY=()
  ((COMP_CWORD == 1)) || return 0
  local cur=${COMP_WORDS[1]} f
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "--help -h --version" -- "$cur")
    return 0
  fi
  # Read as lines, never split or glob-expanded: "[ab].zvo" is one name.
  local files=()
  mapfile -t files < <(compgen -f -- "$cur")
  for f in "${files[@]}"; do
    if [[ -d $f || ${f,,} == *.zvo ]]; then COMPREPLY+=("$f"); fi
  done
  # Outside of a completion in progress (as in the tests) compopt fails.
  compopt -o filenames 2>/dev/null || true
}

complete -F _zorvikpla zorvikpla
