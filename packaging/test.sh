#!/usr/bin/env bash
# Checks of what installs with the programs, one group per argument
# (scripts/test runs each as a stage of its own), on the build in build/:
#
#   packaging/test.sh man          the man pages: no warning from man, and
#                                  every command and option the programs'
#                                  --help lists is documented
#   packaging/test.sh completion   bash, zsh and fish completion
#   packaging/test.sh desktop      desktop entry, MIME types, magic file
#   packaging/test.sh install      make install into a temporary prefix
#                                  (stripped, the bank, songs and texts), the
#                                  programs and the library used from there,
#                                  make uninstall leaving it as it was
#   packaging/test.sh deb          make deb twice, the packages compared byte
#                                  for byte, lintian on each, their fields and
#                                  files, then installed with dpkg --root, the
#                                  programs and library used from there, and
#                                  purged
#
# Prints each failure, and exits 1 when there was any.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build
version=$(sed -n 's/^#define ZORVIK_VERSION_STRING "\(.*\)"$/\1/p' "$build/include/zorvik/version.h")

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# An environment where the bank search finds only what is beside the program.
isolated() {
  mkdir -p "$tmp/home" "$tmp/no-data"
  env HOME="$tmp/home" XDG_DATA_HOME="$tmp/home/data" XDG_DATA_DIRS="$tmp/no-data" \
    ZORVIK_BANK_PATH= "$@"
}

# The samples of a WAV file: its data chunk's bytes.
wav_data() {
  local file=$1 offset=12 id size
  while :; do
    id=$(dd if="$file" bs=1 skip="$offset" count=4 2>/dev/null)
    size=$(od -An -tu4 -j $((offset + 4)) -N4 "$file" | tr -d ' ')
    [ -n "$size" ] || return 1
    if [ "$id" = data ]; then
      tail -c +$((offset + 9)) "$file" | head -c "$size"
      return
    fi
    offset=$((offset + 8 + size + size % 2))
  done
}

# The commands 'zorvik --help' lists, one a line: "play", "song compile".
zorvik_commands() {
  "$build/zorvik" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\( [a-z]\+\)\?\)  .*/\1/p'
}

# The options of a command as its --help lists them (written from the
# command tables, their one home), but -h, --help and --version, which
# every command has: one word each, "=" after one that takes a value
# ("-b= --bank= --watch"), sorted and on one line.
help_options() {
  # shellcheck disable=SC2086 # the command's words
  "$build/zorvik" $1 --help |
    sed -nE 's/^ +(-([a-zA-Z]), )?--([a-z-]+)( ([A-Z][A-Z.]*))?( .*)?$/\2|\3|\5/p' |
    while IFS='|' read -r short long value; do
      [ "$long" = help ] || [ "$long" = version ] && continue
      local eq=""
      [ -n "$value" ] && eq="="
      [ -n "$short" ] && echo "-$short$eq"
      echo "--$long$eq"
    done | sort | paste -sd " " -
}

# ---------------------------------------------------------------------------
check_man() {
  local page err
  for page in zorvik.1 zorvikpla.1 zorvik.5; do
    if [ ! -s "$build/man/$page" ]; then
      fail "build/man/$page was not built"
      continue
    fi
    err=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$build/man/$page" 2>&1 >/dev/null) ||
      fail "man -l build/man/$page failed"
    [ -z "$err" ] || fail "man warns about $page: $err"
    # At 60 columns too: the tables must still fit.
    err=$(MANWIDTH=60 man --warnings -E UTF-8 -l "$build/man/$page" 2>&1 >/dev/null) || true
    [ -z "$err" ] || fail "man warns about $page at 60 columns: $err"
    grep -q "Zorvik Player $version" "$build/man/$page" ||
      fail "$page does not carry the version $version"
    cmp -s <(gzip -dc "$build/man/$page.gz") "$build/man/$page" ||
      fail "build/man/$page.gz is not build/man/$page"
  done

  # zorvik(1) has a section for each command 'zorvik --help' lists, whose
  # list of options is the command's, as its --help lists them: the same
  # names, the same ones taking a value.
  local source=man/zorvik.1.scd commands command section documented
  mapfile -t commands < <(zorvik_commands)
  [ ${#commands[@]} -ge 7 ] || fail "zorvik --help lists ${#commands[@]} commands"
  for command in "${commands[@]}"; do
    section=$(awk -v head="## zorvik $command" \
      'index($0, head) == 1 && substr($0, length(head) + 1, 1) ~ /^( |)$/ { on = 1; next }
       /^#/ { on = 0 } on' "$source")
    if [ -z "$section" ]; then
      fail "zorvik(1) has no section '## zorvik $command'"
      continue
    fi
    # The terms of the option list, each before its tab-indented text:
    # "*-b*, *--bank* _FILE_", "*--strict*".
    documented=$(awk '/^\t/ && prev ~ /^\*--?[a-zA-Z]/ { print prev } { prev = $0 }' \
      <<<"$section" | while read -r term; do
      local eq=""
      [[ $term == *" _"* ]] && eq="="
      for name in $(grep -oE -- '\*--?[a-zA-Z][a-z-]*\*' <<<"$term" | tr -d '*'); do
        [[ $name == -h || $name == --help || $name == --version ]] || echo "$name$eq"
      done
    done | sort | paste -sd " " -)
    [ "$documented" = "$(help_options "$command")" ] ||
      fail "zorvik(1) lists '$documented' for 'zorvik $command', its --help '$(help_options "$command")'"
  done
}

# ---------------------------------------------------------------------------
# Completion cases: the words typed ("_" for the empty word being completed)
# and what completes them, sorted. The fixture folder holds a.zvi b.zvo
# c.txt d.WAV e.flac f.mp3 g.ogg h.mid other.bin and the folder sub.
completion_fixture() {
  mkdir -p "$tmp/files/sub"
  (cd "$tmp/files" && touch a.zvi b.zvo c.txt d.WAV e.flac f.mp3 g.ogg h.mid other.bin)
}

bash_cases() {
  cat <<'EOF'
zorvik _                                => bank info play render song
zorvik r                                => render
zorvik -                                => --help --version
zorvik bank _                           => --help --version build extract list
zorvik song c                           => compile
zorvik play _                           => b.zvo c.txt sub
zorvik play -                           => --bank --help --loops --quiet --version --watch -b -h -l -q -w
zorvik bank build --fill _              => default silence
zorvik bank build -f s                  => silence
zorvik play --loops 2 b.zvo _           => b.zvo c.txt sub
zorvik play --loops _                   =>
zorvik play -b _                        => a.zvi sub
zorvik render --b                       => --bank
zorvik render --bank _                  => a.zvi sub
zorvik render --bank = _                => a.zvi sub
zorvik render --bank=                   => --bank=a.zvi --bank=sub
zorvik render -r 4                      => 44100 48000
zorvik render b.zvo _                   => d.WAV e.flac f.mp3 g.ogg h.mid sub
zorvik render --seconds 3 b.zvo _       => d.WAV e.flac f.mp3 g.ogg h.mid sub
zorvik render --seconds = 3 b.zvo _     => d.WAV e.flac f.mp3 g.ogg h.mid sub
zorvik render b.zvo out.wav _           =>
zorvik render -- -x _                   => d.WAV e.flac f.mp3 g.ogg h.mid sub
zorvik info _                           => b.zvo c.txt sub
zorvik song decompile --sparse b.zvo _  => c.txt sub
zorvik song compile _                   => c.txt sub
zorvik song compile c.txt _             => b.zvo sub
zorvik bank build -n N -a A _           => a.zvi sub
zorvik bank build -n N -a A x.zvi _     => d.WAV e.flac f.mp3 g.ogg sub
zorvik bank build --name=N x.zvi d.WAV _ => d.WAV e.flac f.mp3 g.ogg sub
zorvik bank list _                      => a.zvi sub
zorvik bank extract a.zvi _             => sub
zorvikpla _                             => b.zvo sub
zorvikpla --                            => --help --version
zorvikpla b.zvo _                       =>
EOF
}

check_bash_completion() {
  local results
  results=$(cd "$tmp/files" && bash --norc --noprofile -c '
    source "$1"/zorvik.bash
    source "$1"/zorvikpla.bash
    for program in zorvik zorvikpla; do
      complete -p "$program" | grep -q -- "-F _$program $program\$" ||
        echo "complete -p $program: $(complete -p "$program" 2>&1)"
    done
    while IFS= read -r line; do
      read -ra COMP_WORDS <<<"${line%%=>*}"
      [ "${COMP_WORDS[-1]}" = _ ] && COMP_WORDS[-1]=""
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
      COMP_LINE="${COMP_WORDS[*]}"
      COMP_POINT=${#COMP_LINE}
      COMPREPLY=()
      "_${COMP_WORDS[0]}"
      got=$(printf "%s\n" "${COMPREPLY[@]}" | sort | xargs)
      want=$(xargs <<<"${line#*=>}")
      [ "$got" = "$want" ] || echo "bash: ${line%%=>*}=> \"$got\", not \"$want\""
    done' bash "$root/packaging/completion" < <(bash_cases))
  [ -z "$results" ] || fail "$results"

  # Names with spaces stay one completion each.
  mkdir -p "$tmp/files/my dir"
  touch "$tmp/files/my song.zvo"
  results=$(cd "$tmp/files" && bash --norc --noprofile -c '
    source "$1"/zorvik.bash
    COMP_WORDS=(zorvik play my); COMP_CWORD=2; COMPREPLY=()
    _zorvik
    printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd "|"' bash "$root/packaging/completion")
  [ "$results" = "my dir|my song.zvo" ] || fail "bash: zorvik play my => \"$results\""
  rm -rf "$tmp/files/my dir" "$tmp/files/my song.zvo"

  # A name that is a glob pattern is a name, not a pattern: once each.
  touch "$tmp/files/[bz].zvo" "$tmp/files/*.zvo"
  local program
  for program in "zorvik play" zorvikpla; do
    results=$(cd "$tmp/files" && bash --norc --noprofile -c '
      source "$1"/zorvik.bash
      source "$1"/zorvikpla.bash
      read -ra COMP_WORDS <<<"$2"
      COMP_WORDS+=("$3"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
      "_${COMP_WORDS[0]}"
      printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd "|"' bash "$root/packaging/completion" \
      "$program" "[")
    [ "$results" = "[bz].zvo" ] || fail "bash: $program [ => \"$results\""
  done
  rm -f "$tmp/files/[bz].zvo" "$tmp/files/*.zvo"
}

fish_cases() {
  cat <<'EOF'
zorvik _                                => bank info play render song
zorvik bank _                           => build extract list
zorvik play --                          => --bank --help --loops --quiet --version --watch
zorvik play -b _                        => a.zvi sub/
zorvik render --bank=                   => --bank=a.zvi --bank=sub/
zorvik render b.zvo _                   => d.WAV e.flac f.mp3 g.ogg h.mid sub/
zorvik render --loops 2 b.zvo _         => d.WAV e.flac f.mp3 g.ogg h.mid sub/
zorvik render b.zvo out.wav _           =>
zorvik song compile _                   => c.txt sub/
zorvik song compile c.txt _             => b.zvo sub/
zorvik bank build -n N -a A x.zvi _     => d.WAV e.flac f.mp3 g.ogg sub/
zorvik bank extract a.zvi _             => sub/
zorvikpla _                             => b.zvo sub/
EOF
}

check_fish_completion() {
  local line typed got want
  while IFS= read -r line; do
    typed=$(xargs <<<"${line%%=>*}")
    typed=${typed%_}
    got=$(cd "$tmp/files" && fish --no-config -c "
      source '$root/packaging/completion/zorvik.fish'
      source '$root/packaging/completion/zorvikpla.fish'
      complete -C '$typed'" | cut -f1 | sort | xargs)
    want=$(xargs <<<"${line#*=>}")
    [ "$got" = "$want" ] || fail "fish: '$typed' => \"$got\", not \"$want\""
  done < <(fish_cases)
}

# zsh is driven through a pseudo-terminal: each line typed is followed by a
# Tab, and what zsh lists must hold every name expected and none of those
# that must not come (after "!="; none of them is among the words typed).
zsh_cases() {
  cat <<'EOF'
zorvik _                                => play render info song bank   != a.zvi
zorvik bank _                           => build list extract          != decompile
zorvik render -b _                      => a.zvi sub                   != b.zvo c.txt
zorvik render b.zvo _                   => d.WAV e.flac f.mp3 g.ogg h.mid != a.zvi c.txt other.bin
zorvik song compile _                   => c.txt sub                   != b.zvo
zorvik bank build -n N -a A x.zvi _     => d.WAV e.flac g.ogg          != a.zvi c.txt
zorvik play --                          => --loops --watch --quiet     != --samples
zorvikpla _                             => b.zvo sub                   != c.txt a.zvi
EOF
}

check_zsh_completion() {
  zsh -n "$root/packaging/completion/_zorvik" || fail "zsh -n _zorvik: syntax error"
  # Types $2 and a Tab into an interactive zsh once its prompt shows, then
  # a line that ends the listing.
  cat >"$tmp/drive.zsh" <<'EOF_ZSH'
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "fpath=($1 \$fpath); autoload -U compinit; compinit -u -D; LISTMAX=0; PS1='<r''eady>'"
zpty -r z line '*<ready>'
zpty -w -n z "$2"$'\t'
zpty -w z $'\C-u'"print DONE-\$((6*7))"
while zpty -r z line; do
  print -r -- "$line"
  [[ $line == *DONE-42* ]] && break
done
zpty -d z
EOF_ZSH
  local line typed expected unexpected out name
  while IFS= read -r line; do
    typed=$(xargs <<<"${line%%=>*}")
    typed=${typed%_}
    expected=${line#*=>}
    unexpected=${expected#*!=}
    expected=${expected%%!=*}
    out=$(cd "$tmp/files" && timeout 20 zsh -f "$tmp/drive.zsh" "$root/packaging/completion" "$typed") ||
      { fail "zsh: '$typed': no answer"; continue; }
    for name in $expected; do
      grep -qF -- "$name" <<<"$out" || fail "zsh: '$typed' does not offer $name"
    done
    for name in $unexpected; do
      ! grep -qF -- "$name" <<<"$out" || fail "zsh: '$typed' offers $name"
    done
  done < <(zsh_cases)
}

# Each completion offers each command's options as its --help lists them
# (the command tables are their one home), and knows which take a value.
check_completion_options() {
  local commands command want got sub cond line valued
  mapfile -t commands < <(zorvik_commands)
  for command in "${commands[@]}"; do
    want=$(help_options "$command")
    got=$(bash --norc --noprofile -c 'source "$1"
      for o in $(_zorvik_options "$2"); do
        if _zorvik_takes_value "$2" "$o"; then echo "$o="; else echo "$o"; fi
      done' bash "$root/packaging/completion/zorvik.bash" "$command" | sort | paste -sd " " -)
    [ "$got" = "$want" ] || fail "bash offers '$got' for 'zorvik $command', not '$want'"

    # fish: a 'complete' line per option, -x for one that takes a value,
    # and the same options in the list of those that do.
    if [[ $command == *" "* ]]; then cond="__zorvik_is '$command'\""; else cond="__zorvik_is $command'"; fi
    got=$({ grep -F -- "$cond" packaging/completion/zorvik.fish || true; } | while IFS= read -r line; do
      local eq=""
      [[ $line =~ \ -[xr]( |$) ]] && eq="="
      sed -nE 's/.* -s ([a-zA-Z]) .*/-\1/p' <<<"$line" | sed "s/\$/$eq/"
      sed -nE 's/.* -l ([a-z-]+) .*/--\1/p' <<<"$line" | sed "s/\$/$eq/"
    done | sort | paste -sd " " -)
    [ "$got" = "$want" ] || fail "fish offers '$got' for 'zorvik $command', not '$want'"
    valued=$(sed -nE "/^ +case '?$command'?\$/{n;s/^ +set valued //p}" packaging/completion/zorvik.fish |
      tr ' ' '\n' | sort | paste -sd " " -)
    [ "$valued" = "$(tr ' ' '\n' <<<"$want" | sed -n 's/=$//p' | sort | paste -sd " " -)" ] ||
      fail "fish skips '$valued' as taking a value for 'zorvik $command', not the options of '$want'"

    # zsh: the command's _arguments, {-b+,--bank=} and '--strict[...]'.
    sub=${command##* }
    got=$(awk -v head="    $sub)" 'index($0, head) == 1 { on = 1 } on { print } on && /;;/ { exit }' \
      packaging/completion/_zorvik |
      { grep -oE -- '\{-[a-zA-Z]\+?,--[a-z-]+=?\}|--[a-z-]+=?\[' || true; } |
      tr -d '{}[' | tr ',' '\n' | sed 's/+$/=/' | sort | paste -sd " " -)
    [ "$got" = "$want" ] || fail "zsh offers '$got' for 'zorvik $command', not '$want'"
  done
}

check_completion() {
  completion_fixture
  check_bash_completion
  check_fish_completion
  check_zsh_completion
  check_completion_options
}

# ---------------------------------------------------------------------------
check_desktop() {
  local out
  out=$(desktop-file-validate packaging/zorvik.desktop 2>&1) ||
    fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"

  # The MIME database built from zorvik.xml alone knows both types by name
  # and by magic, and the desktop entry opens the songs.
  mkdir -p "$tmp/mime/packages"
  cp packaging/zorvik.xml "$tmp/mime/packages/"
  out=$(XDG_DATA_HOME="$tmp" update-mime-database "$tmp/mime" 2>&1) ||
    fail "update-mime-database: $out"
  [ -z "$out" ] || fail "update-mime-database: $out"
  local type glob magic
  while read -r type glob magic; do
    grep -qxF "50:$type:$glob" "$tmp/mime/globs2" || fail "MIME: $type is not $glob"
    grep -aqF "[50:$type]" "$tmp/mime/magic" || fail "MIME: $type has no magic"
    # The match: offset 0, a 16-bit length of 4, the bytes.
    grep -aqF ">0=@#$magic" <<<"$(tr '\0\4' '@#' <"$tmp/mime/magic")" ||
      fail "MIME: $type's magic is not '$magic' at 0"
  done <<'EOF'
audio/x-zorvik-song *.zvo zvko
application/x-zorvik-bank *.zvi zvki
EOF
  grep -qx 'MimeType=audio/x-zorvik-song;' packaging/zorvik.desktop ||
    fail "the desktop entry does not open audio/x-zorvik-song"
  grep -qx 'Exec=zorvik play %F' packaging/zorvik.desktop ||
    fail "the desktop entry does not run 'zorvik play %F'"
  grep -qx 'Terminal=true' packaging/zorvik.desktop || fail "the desktop entry needs a terminal"

  # file -m with zorvik.magic: each file, what file says, and its MIME type.
  printf 'zvko\1\0\0Old Song\0' >"$tmp/v1.zvo"
  head -c 641 /dev/zero >>"$tmp/v1.zvo"
  { printf 'zvko\2\0\0'; printf 'T%.0s' $(seq 32); printf 'Author\0'; head -c 25 /dev/zero
    printf 'my.zvi'; head -c 600 /dev/zero; } >"$tmp/long-title.zvo"
  { printf 'zvko\2\0\1'; head -c 673 /dev/zero; } >"$tmp/packed.zvo"
  { printf 'zvka\2\0\0'; head -c 673 /dev/zero; } >"$tmp/near-miss.zvo"
  local file want want_type got
  while IFS='|' read -r file want want_type; do
    got=$(file -b -m packaging/zorvik.magic "$file")
    [ "$got" = "$want" ] || fail "file -m: ${file#"$tmp/"}: '$got', not '$want'"
    got=$(file -b --mime-type -m packaging/zorvik.magic "$file")
    [ "$got" = "$want_type" ] || fail "file --mime-type: ${file#"$tmp/"}: '$got', not '$want_type'"
  done <<EOF
$build/examples/first-light.zvo|Zorvik song, version 2, "First Light" by Zorvik Player, bank default.zvi|audio/x-zorvik-song
$tmp/v1.zvo|Zorvik song, version 1, "Old Song"|audio/x-zorvik-song
$tmp/long-title.zvo|Zorvik song, version 2, "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT" by Author, bank my.zvi|audio/x-zorvik-song
$tmp/packed.zvo|Zorvik song, version 2, compression 1|audio/x-zorvik-song
$build/instruments/default.zvi|Zorvik sample bank, version 1, "Zorvik Default" by Zorvik Player|application/x-zorvik-bank
$tmp/near-miss.zvo|data|application/octet-stream
EOF
}

# ---------------------------------------------------------------------------
# Builds examples/api/render.c with pkg-config (PKG_CONFIG_* as set by the
# caller) and checks that, run on a song with LD_LIBRARY_PATH=$1, it writes
# the samples 'zorvik render' ($2) writes.
check_c_example() {
  local libdir=$1 zorvik=$2 song=$3 bank=$4 flags
  flags=$(pkg-config --cflags --libs zorvik) || {
    fail "pkg-config --cflags --libs zorvik"
    return
  }
  # shellcheck disable=SC2086 # flags are words
  cc -Wall -Wextra -Werror examples/api/render.c $flags -o "$tmp/render" ||
    { fail "cc examples/api/render.c $flags"; return; }
  grep -qF "libzorvik.so.1 => $libdir/" <<<"$(LD_LIBRARY_PATH=$libdir ldd "$tmp/render")" ||
    fail "render.c is not linked with $libdir/libzorvik.so.1"
  LD_LIBRARY_PATH=$libdir "$tmp/render" "$song" "$bank" 100000 >"$tmp/c.raw" ||
    { fail "the C example failed"; return; }
  isolated "$zorvik" render --samples 100000 "$song" "$tmp/zorvik.wav" ||
    { fail "zorvik render for the C example's comparison failed"; return; }
  cmp -s "$tmp/c.raw" <(wav_data "$tmp/zorvik.wav") ||
    fail "the C example's samples differ from zorvik render's"
}

check_install() {
  local prefix=$tmp/prefix
  # Folders there before: an empty one the install also uses, and one
  # holding a file of its own. Both stay.
  mkdir -p "$prefix/share/man/man5" "$prefix/bin"
  touch "$prefix/bin/another-program"
  (cd "$prefix" && find . | sort) >"$tmp/before"

  make -s install PREFIX="$prefix" >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log" >&2; fail "make install"; return; }

  local path
  while read -r path; do
    [ -e "$prefix/$path" ] || fail "make install did not install $path"
  done <<'EOF'
bin/zorvik
bin/zorvikpla
lib/zorvik/zorvik
lib/zorvik/zorvikpla
lib/zorvik/instruments/default.zvi
lib/libzorvik.so.1
lib/libzorvik.a
lib/pkgconfig/zorvik.pc
include/zorvik/zorvik.h
include/zorvik/version.h
share/zorvik/examples/first-light.zvo
share/zorvik/examples/island-hop.zvo
share/zorvik/examples/lanterns.zvo
share/zorvik/examples/pixel-rush.zvo
share/zorvik/instruments/default.zvi
share/zorvik/zorvik.magic
share/man/man1/zorvik.1.gz
share/man/man1/zorvikpla.1.gz
share/man/man5/zorvik.5.gz
share/bash-completion/completions/zorvik
share/bash-completion/completions/zorvikpla
share/zsh/vendor-completions/_zorvik
share/fish/vendor_completions.d/zorvik.fish
share/fish/vendor_completions.d/zorvikpla.fish
share/mime/packages/zorvik.xml
share/applications/zorvik.desktop
share/doc/zorvik/README.md
share/doc/zorvik/LICENSE
EOF
  for path in bin/zorvik bin/zorvikpla; do
    [ "$(readlink "$prefix/$path")" = "../lib/zorvik/${path#bin/}" ] ||
      fail "$path is not a link to ../lib/zorvik/${path#bin/}"
  done
  # The bank with the other data, and instruments/ beside the programs a
  # link to its folder.
  [ "$(readlink "$prefix/lib/zorvik/instruments")" = ../../share/zorvik/instruments ] ||
    fail "lib/zorvik/instruments is not a link to ../../share/zorvik/instruments"
  # The demo songs' texts beside the songs.
  local text
  for text in examples/*.txt; do
    [ "$text" != examples/CMakeLists.txt ] || continue
    cmp -s "$text" "$prefix/share/zorvik/$text" || fail "make install did not install $text as it is"
  done
  # Stripped: the programs and the shared library have no symbol table nor
  # debugging information, the static library no debugging information.
  for path in lib/zorvik/zorvik lib/zorvik/zorvikpla lib/libzorvik.so.1; do
    ! readelf -SW "$prefix/$path" | grep -E '\.debug_|\.symtab' >/dev/null || fail "make install did not strip $path"
  done
  ! readelf -SW "$prefix/lib/libzorvik.a" | grep '\.debug_' >/dev/null ||
    fail "make install left debugging information in lib/libzorvik.a"
  # The library exports its C functions and nothing else.
  local exports
  exports=$(nm -D --defined-only "$prefix/lib/libzorvik.so.1" | awk '$3 !~ /^zorvik_/ { print $3 }')
  [ -z "$exports" ] || fail "libzorvik.so.1 exports more than the zorvik_* functions: $(xargs <<<"$exports")"
  # The manifest lists every file and link installed, the bin/ links too.
  comm -3 <(sed "s|^$prefix/||" "$build/install_manifest.txt" | sort) \
    <(cd "$prefix" && find . \( -type f -o -type l \) ! -name another-program | sed 's|^\./||' | sort) \
    >"$tmp/manifest.diff"
  [ ! -s "$tmp/manifest.diff" ] ||
    fail "install_manifest.txt and the installed files differ: $(xargs <"$tmp/manifest.diff")"

  # From PATH: the versions, the man pages, a demo song rendered with the
  # installed default bank, found by the bank search beside the program.
  local out
  out=$(isolated env PATH="$prefix/bin:$PATH" zorvik --version) || true
  [ "$out" = "zorvik $version" ] || fail "installed zorvik --version: '$out'"
  out=$(isolated env PATH="$prefix/bin:$PATH" zorvikpla --version) || true
  [ "$out" = "zorvikpla $version" ] || fail "installed zorvikpla --version: '$out'"
  for path in "1 zorvik" "1 zorvikpla" "5 zorvik"; do
    # shellcheck disable=SC2086 # section and name
    out=$(MANWIDTH=80 man --warnings -M "$prefix/share/man" $path 2>&1 >/dev/null) ||
      fail "man -M PREFIX/share/man $path"
    [ -z "$out" ] || fail "man -M PREFIX/share/man $path: $out"
  done
  mkdir -p "$tmp/work"
  out=$(cd "$tmp/work" && isolated env PATH="$prefix/bin:$PATH" \
    zorvik render --seconds 2 "$prefix/share/zorvik/examples/first-light.zvo" out.wav 2>&1) ||
    fail "installed zorvik render: $out"
  [ -z "$out" ] || fail "installed zorvik render says: $out"
  isolated "$build/zorvik" render --seconds 2 "$build/examples/first-light.zvo" "$tmp/built.wav"
  cmp -s "$tmp/work/out.wav" "$tmp/built.wav" ||
    fail "installed zorvik render differs from the build's"

  # The C example, against the installed library.
  PKG_CONFIG_PATH="$prefix/lib/pkgconfig" check_c_example "$prefix/lib" "$prefix/bin/zorvik" \
    "$prefix/share/zorvik/examples/lanterns.zvo" "$prefix/share/zorvik/instruments/default.zvi"

  # Installing again changes nothing; uninstalling then leaves the prefix
  # exactly as it was, and a second uninstall has nothing to remove.
  make -s install PREFIX="$prefix" >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log" >&2; fail "make install, again"; }
  make -s uninstall PREFIX="$prefix" >"$tmp/uninstall.log" 2>&1 ||
    { cat "$tmp/uninstall.log" >&2; fail "make uninstall"; }
  (cd "$prefix" && find . | sort) | diff "$tmp/before" - >"$tmp/left.diff" ||
    fail "make uninstall did not leave the prefix as it was: $(xargs <"$tmp/left.diff")"
  ! make -s uninstall PREFIX="$prefix" >/dev/null 2>&1 || fail "a second make uninstall succeeded"

  # Over an earlier install, whose lib/zorvik/instruments was a folder: the
  # folder gives way to the link when it holds only what an install put
  # there; when it also holds a bank of the user's, the install stops
  # before changing anything.
  local own
  for own in "" mine.zvi; do
    prefix=$tmp/earlier-$own
    mkdir -p "$prefix/lib/zorvik/instruments"
    cp "$build/instruments/default.zvi" "$prefix/lib/zorvik/instruments/"
    [ -z "$own" ] || touch "$prefix/lib/zorvik/instruments/$own"
    (cd "$prefix" && find . | sort) >"$tmp/before"
    if [ -z "$own" ]; then
      make -s install PREFIX="$prefix" >"$tmp/install.log" 2>&1 ||
        { cat "$tmp/install.log" >&2; fail "make install over an earlier install"; continue; }
      [ "$(readlink "$prefix/lib/zorvik/instruments")" = ../../share/zorvik/instruments ] ||
        fail "make install over an earlier install: lib/zorvik/instruments is not the link"
      make -s uninstall PREFIX="$prefix" >/dev/null 2>&1 || fail "make uninstall after an upgrade"
      out=$(cd "$prefix" && find . | sort | xargs)
      [ "$out" = ". ./lib ./lib/zorvik" ] || fail "make uninstall after an upgrade left $out"
    else
      ! make -s install PREFIX="$prefix" >"$tmp/install.log" 2>&1 ||
        fail "make install over a bank folder holding $own succeeded"
      tr -s ' \n' '  ' <"$tmp/install.log" |
        grep "lib/zorvik/instruments/$own is not from an earlier install" >/dev/null ||
        fail "make install over a bank folder holding $own: $(xargs <"$tmp/install.log")"
      (cd "$prefix" && find . | sort) | diff "$tmp/before" - >"$tmp/left.diff" ||
        fail "the refused make install changed the prefix: $(xargs <"$tmp/left.diff")"
    fi
  done
}

# ---------------------------------------------------------------------------
check_deb() {
  local tool
  for tool in dpkg-buildpackage dh lintian; do
    command -v "$tool" >/dev/null || { fail "no $tool here: scripts/setup installs it"; return; }
  done
  local arch triplet full epoch
  arch=$(dpkg --print-architecture)
  triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
  full=$(dpkg-parsechangelog -S Version)
  epoch=$(git log -1 --format=%ct)
  [[ $full =~ ^${version//./\\.}-[0-9]+$ ]] ||
    fail "debian/changelog's version $full is not $version with a Debian revision"

  # A maintainer that is not "Full Name <address>" is refused before any
  # build, as a usage error.
  local bad status
  for bad in "nobody" "Ann Smith <ann>" "<ann@example.org>" "Ann Smith ann@example.org" \
    "Ann <a@b> <c@d>"; do
    status=0
    BUILD="$tmp/refused" MAINTAINER="$bad" scripts/deb >/dev/null 2>"$tmp/refused.err" || status=$?
    [ "$status" -eq 2 ] && grep -q "^make deb: the maintainer '$bad' is not 'Full Name <address>'" \
      "$tmp/refused.err" || fail "make deb with MAINTAINER='$bad': status $status, $(xargs -0 <"$tmp/refused.err")"
  done
  [ ! -e "$tmp/refused" ] || fail "a refused make deb made its build folder"

  # Built twice, in two folders, as make deb builds them.
  local maintainer="Packaging Test <packaging-test@example.net>" run began
  for run in first second; do
    began=$SECONDS
    env -u SOURCE_DATE_EPOCH make -s deb BUILD="$tmp/$run" MAINTAINER="$maintainer" \
      >"$tmp/deb-$run.log" 2>&1 ||
      { cat "$tmp/deb-$run.log" >&2; fail "make deb ($run build)"; return; }
    echo "make deb, $run build: $((SECONDS - began)) s"
  done
  local out=$tmp/first/deb
  local packages=(zorvik-player zorvik-player-data libzorvik1 libzorvik-dev
                  zorvik-player-dbgsym libzorvik1-dbgsym)
  local package deb debs=() want=()
  for package in "${packages[@]}"; do
    deb=${package}_${full}_$arch.deb
    [ "$package" = zorvik-player-data ] && deb=${package}_${full}_all.deb
    want+=("$deb")
  done
  local written
  written=$(find "$out" -maxdepth 1 -name '*.deb' -printf '%f\n' | sort)
  [ "$written" = "$(printf '%s\n' "${want[@]}" | sort)" ] ||
    fail "make deb wrote $(xargs <<<"$written"), not ${want[*]}"
  for deb in "${want[@]}"; do
    [ -f "$out/$deb" ] || continue
    debs+=("$out/$deb")
    cmp -s "$out/$deb" "$tmp/second/deb/$deb" ||
      fail "$deb differs between two builds of one commit (diffoscope shows where)"
    echo "package: $deb, $(stat -c %s "$out/$deb") bytes," \
      "installed size $(dpkg-deb -f "$out/$deb" Installed-Size) KiB"
  done
  [ ${#debs[@]} -eq ${#packages[@]} ] || return

  # lintian on every package: no error, no warning. All it says is shown,
  # with the tags overridden (the reasons are in debian/*.lintian-overrides).
  lintian --fail-on none --display-info --show-overrides "$out"/*.changes >"$tmp/lintian.log" 2>&1 ||
    fail "lintian failed: $(tail -n 3 "$tmp/lintian.log" | xargs)"
  grep -vE '^N:|^running with root privileges' "$tmp/lintian.log" | sed 's/^/lintian: /' || true
  ! grep -qE '^[EW]: ' "$tmp/lintian.log" || fail "lintian: errors or warnings, above"

  # The control fields (package|field|pattern).
  local full_re=${full//./\\.} field pattern got
  while IFS='|' read -r package field pattern; do
    for deb in "${debs[@]}"; do
      [[ $package = '*' || $(dpkg-deb -f "$deb" Package) = "$package" ]] || continue
      got=$(dpkg-deb -f "$deb" "$field")
      [[ $got =~ $pattern ]] ||
        fail "${deb##*/}: $field is '$got', which does not match '$pattern'"
    done
  done <<EOF_FIELDS
*|Version|^$full_re$
*|Maintainer|^$maintainer$
zorvik-player|Architecture|^$arch$
zorvik-player|Section|^sound$
zorvik-player|Depends|(^|, )zorvik-player-data \(= $full_re\)(,|$)
zorvik-player|Depends|(^|, )libsdl1\.2debian( |,|$)
zorvik-player|Depends|(^|, )libsndfile1( |,|$)
zorvik-player|Depends|(^|, )libsamplerate0( |,|$)
zorvik-player|Depends|(^|, )libc6( |,|$)
zorvik-player|Description|^console player for Zorvik tracker songs[[:cntrl:]]
zorvik-player-data|Architecture|^all$
zorvik-player-data|Multi-Arch|^foreign$
libzorvik1|Section|^libs$
libzorvik1|Multi-Arch|^same$
libzorvik1|Depends|(^|, )libc6( |,|$)
libzorvik-dev|Section|^libdevel$
libzorvik-dev|Multi-Arch|^same$
libzorvik-dev|Depends|(^|, )libzorvik1 \(= $full_re\)(,|$)
EOF_FIELDS
  dpkg-deb --ctrl-tarfile "${debs[2]}" | tar -xO ./shlibs | grep -x "libzorvik 1 libzorvik1 (>= $version)" >/dev/null ||
    fail "libzorvik1 has no shlibs line for libzorvik.so.1"
  dpkg-deb --ctrl-tarfile "${debs[2]}" | tar -xO ./triggers | grep -x "activate-noawait ldconfig" >/dev/null ||
    fail "libzorvik1 does not leave ldconfig to its trigger"
  for deb in "${debs[@]}"; do
    for field in preinst postinst prerm postrm; do
      ! dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -x "./$field" >/dev/null ||
        fail "${deb##*/} has a $field script"
    done
  done

  # Where the files are (package|path|what: a file, a link's target, a folder).
  local what tree=$tmp/unpacked
  mkdir -p "$tree"
  for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$tree/$(dpkg-deb -f "$deb" Package)"
  done
  while IFS='|' read -r package path what; do
    path=$tree/$package/$path
    case $what in
      file) [ -f "$path" ] && [ ! -L "$path" ] || fail "$package has no file ${path#"$tree/$package"}" ;;
      folder) [ -d "$path" ] && [ ! -L "$path" ] || fail "$package has no folder ${path#"$tree/$package"}" ;;
      none) [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$package has ${path#"$tree/$package"}" ;;
      *) [ "$(readlink "$path")" = "$what" ] || fail "$package: ${path#"$tree/$package"} is not a link to $what" ;;
    esac
  done <<EOF_FILES
zorvik-player|usr/lib/zorvik/zorvik|file
zorvik-player|usr/lib/zorvik/zorvikpla|file
zorvik-player|usr/bin/zorvik|../lib/zorvik/zorvik
zorvik-player|usr/bin/zorvikpla|../lib/zorvik/zorvikpla
zorvik-player|usr/lib/zorvik/instruments|../../share/zorvik/instruments
zorvik-player|usr/share/man/man1/zorvik.1.gz|file
zorvik-player|usr/share/man/man1/zorvikpla.1.gz|file
zorvik-player|usr/share/man/man5/zorvik.5.gz|file
zorvik-player|usr/share/bash-completion/completions/zorvik|file
zorvik-player|usr/share/zsh/vendor-completions/_zorvik|file
zorvik-player|usr/share/fish/vendor_completions.d/zorvik.fish|file
zorvik-player|usr/share/applications/zorvik.desktop|file
zorvik-player|usr/share/mime/packages/zorvik.xml|file
zorvik-player|usr/share/doc/zorvik-player/README.md.gz|file
zorvik-player|usr/share/doc/zorvik-player/copyright|file
zorvik-player|usr/share/doc/zorvik-player/LICENSE|none
zorvik-player|usr/share/doc/zorvik|none
zorvik-player|usr/share/zorvik|none
zorvik-player-data|usr/share/zorvik/instruments/default.zvi|file
zorvik-player-data|usr/share/zorvik/examples/first-light.zvo|file
zorvik-player-data|usr/share/zorvik/examples/first-light.txt|file
zorvik-player-data|usr/share/zorvik/zorvik.magic|file
zorvik-player-data|usr/lib|none
zorvik-player-data|usr/share/doc/zorvik-player-data/copyright|file
libzorvik1|usr/lib/$triplet/libzorvik.so.$version|file
libzorvik1|usr/lib/$triplet/libzorvik.so.1|libzorvik.so.$version
libzorvik1|usr/lib/$triplet/libzorvik.so|none
libzorvik1|usr/share/doc/libzorvik1/copyright|file
libzorvik-dev|usr/lib/$triplet/libzorvik.so|libzorvik.so.1
libzorvik-dev|usr/lib/$triplet/libzorvik.a|file
libzorvik-dev|usr/lib/$triplet/pkgconfig/zorvik.pc|file
libzorvik-dev|usr/include/zorvik/zorvik.h|file
libzorvik-dev|usr/include/zorvik/version.h|file
libzorvik-dev|usr/share/doc/libzorvik-dev|libzorvik1
EOF_FILES
  # The bank and the songs are the build's; the texts are the sources'.
  local name
  cmp -s "$tree/zorvik-player-data/usr/share/zorvik/instruments/default.zvi" \
    "$build/instruments/default.zvi" || fail "the packaged default.zvi is not the build's"
  for path in examples/*.txt; do
    name=$(basename "$path" .txt)
    [ "$name" != CMakeLists ] || continue
    cmp -s "$tree/zorvik-player-data/usr/share/zorvik/examples/$name.zvo" "$build/examples/$name.zvo" ||
      fail "the packaged $name.zvo is not the build's"
    cmp -s "$tree/zorvik-player-data/usr/share/zorvik/examples/$name.txt" "$path" ||
      fail "the packaged $name.txt is not $path"
  done
  # Every manual page is dated by the last commit.
  local date
  date=$(date -u -d "@$epoch" +%F)
  for path in man1/zorvik.1 man1/zorvikpla.1 man5/zorvik.5; do
    gzip -dc "$tree/zorvik-player/usr/share/man/$path.gz" | grep "^\.TH \"[a-z]*\" \"[15]\" \"$date\" " >/dev/null ||
      fail "the packaged $path is not dated $date, the last commit's date"
  done
  # Hardened: bind-now, read-only relocations, stack protection, fortified
  # calls, and position-independent programs.
  local elf
  for elf in "$tree/zorvik-player/usr/lib/zorvik/zorvik" "$tree/zorvik-player/usr/lib/zorvik/zorvikpla" \
    "$tree/libzorvik1/usr/lib/$triplet/libzorvik.so.$version"; do
    name=${elf#"$tree/"}
    readelf -dW "$elf" | grep -E '\(FLAGS\) +BIND_NOW' >/dev/null || fail "$name is not linked with -z now"
    readelf -lW "$elf" | grep GNU_RELRO >/dev/null || fail "$name has no read-only relocations"
    readelf --dyn-syms -W "$elf" | grep ' __stack_chk_fail' >/dev/null || fail "$name has no stack protection"
    readelf --dyn-syms -W "$elf" | grep -E ' __[a-z]+_chk\b' >/dev/null || fail "$name calls no fortified function"
    ! readelf -SW "$elf" | grep -E '\.debug_|\.symtab' >/dev/null || fail "$name is not stripped"
  done
  for elf in zorvik zorvikpla; do
    readelf -hW "$tree/zorvik-player/usr/lib/zorvik/$elf" | grep 'Position-Independent' >/dev/null ||
      fail "$elf is not a position-independent executable"
  done

  # Installed with dpkg --root into an empty root whose status holds the
  # packages they depend on, as this system has them (or the packages
  # that provide them): dpkg checks every dependency. The packages have no
  # maintainer scripts, so dpkg needs no chroot.
  local root=$tmp/root dependency provider
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  : >"$root/var/lib/dpkg/status"
  for dependency in $(for deb in "${debs[@]}"; do dpkg-deb -f "$deb" Pre-Depends Depends; done |
    sed 's/^[A-Za-z-]*: //' | tr ',|' '\n' | sed 's/^ *//; s/[ (:].*//' | sort -u |
    grep -vxF -e '' "${packages[@]/#/-e}"); do
    provider=$dependency
    if [ "$(dpkg-query -W -f='${db:Status-Status}' "$dependency" 2>/dev/null)" != installed ]; then
      provider=$(dpkg-query -W -f='${Package} ${Provides},\n' |
        awk -v name="$dependency" '!found && $0 ~ "[ ,]" name "[ ,]" { print $1; found = 1 }')
    fi
    [ -n "$provider" ] && dpkg-query -s "$provider" >>"$root/var/lib/dpkg/status" 2>/dev/null ||
      { fail "the packages depend on $dependency, which nothing here provides"; continue; }
    echo >>"$root/var/lib/dpkg/status"
    : >"$root/var/lib/dpkg/info/$(dpkg-query -W -f='${binary:Package}' "$provider").list"
  done
  dpkg --root="$root" --log=/dev/null --install "${debs[@]}" >"$tmp/dpkg.log" 2>&1 ||
    { cat "$tmp/dpkg.log" >&2; fail "dpkg --root --install"; return; }
  for package in "${packages[@]}"; do
    [ "$(dpkg-query --root="$root" -W -f='${db:Status-Status}' "$package")" = installed ] ||
      fail "dpkg --root did not install $package"
  done

  # From the root: the versions, a song rendered with the installed bank
  # (found through instruments/ beside the program), zorvikpla finding the
  # same bank and refusing a file that is no song, the C example against
  # the installed library.
  local usr=$root/usr out
  out=$(isolated "$usr/bin/zorvik" --version 2>&1) || true
  [ "$out" = "zorvik $version" ] || fail "installed zorvik --version: '$out'"
  out=$(isolated "$usr/bin/zorvikpla" --version 2>&1) || true
  [ "$out" = "zorvikpla $version" ] || fail "installed zorvikpla --version: '$out'"
  out=$(cd "$tmp" && isolated "$usr/bin/zorvik" render --seconds 2 \
    "$usr/share/zorvik/examples/first-light.zvo" "$tmp/packaged.wav" 2>&1) ||
    fail "installed zorvik render: $out"
  [ -z "$out" ] || fail "installed zorvik render says: $out"
  isolated "$build/zorvik" render --seconds 2 "$build/examples/first-light.zvo" "$tmp/built.wav"
  cmp -s "$tmp/packaged.wav" "$tmp/built.wav" || fail "installed zorvik render differs from the build's"
  # The end of its input is the key that ends zorvikpla, two seconds on.
  out=$(sleep 2 | isolated env SDL_AUDIODRIVER=dummy "$usr/bin/zorvikpla" \
    "$usr/share/zorvik/examples/lanterns.zvo" 2>/dev/null) ||
    fail "installed zorvikpla on lanterns.zvo failed"
  grep -qx "Samplebank: Zorvik Default by Zorvik Player" <<<"$out" ||
    fail "installed zorvikpla did not find the installed bank: $(head -n 6 <<<"$out" | xargs)"
  printf 'not a song' >"$tmp/bad.zvo"
  status=0
  out=$(isolated "$usr/bin/zorvikpla" "$tmp/bad.zvo" </dev/null 2>&1) || status=$?
  [ "$status" -eq 1 ] && grep -q '^Error: ' <<<"$out" ||
    fail "installed zorvikpla on a bad file: status $status, '$(xargs <<<"$out")'"
  grep -qx "prefix=/usr" "$usr/lib/$triplet/pkgconfig/zorvik.pc" || fail "the installed zorvik.pc is not for /usr"
  PKG_CONFIG_PATH="$usr/lib/$triplet/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$root" \
    check_c_example "$usr/lib/$triplet" "$usr/bin/zorvik" \
    "$usr/share/zorvik/examples/island-hop.zvo" "$usr/share/zorvik/instruments/default.zvi"

  # Removed (purged), they leave nothing behind.
  dpkg --root="$root" --log=/dev/null --purge "${packages[@]}" >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log" >&2; fail "dpkg --root --purge"; }
  out=$(cd "$root" && find . -path ./var -prune -o ! -name . -print)
  [ -z "$out" ] || fail "dpkg --root --purge left $(xargs <<<"$out")"
}

# ---------------------------------------------------------------------------
[ $# -eq 1 ] || { echo "usage: packaging/test.sh man|completion|desktop|install|deb" >&2; exit 2; }
start=$SECONDS
case $1 in
  man) check_man ;;
  completion) check_completion ;;
  desktop) check_desktop ;;
  install) check_install ;;
  deb) check_deb ;;
  *) echo "packaging/test.sh: no group '$1'" >&2; exit 2 ;;
esac
if [ "$failures" -eq 0 ]; then
  echo "packaging/test.sh $1: passed ($((SECONDS - start)) s)"
else
  echo "packaging/test.sh $1: $failures failures ($((SECONDS - start)) s)"
  exit 1
fi
