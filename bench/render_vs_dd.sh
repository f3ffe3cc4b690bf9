#!/usr/bin/env bash
# zorvik render against dd: 30 minutes of the busy song at tempo 255 (all
# three voices always sounding) rendered to WAV, and the same number of
# bytes written by dd, into the same folder. Prints both times and the
# ratio; the goal is a ratio under 2.
#
#   bench/render_vs_dd.sh BUILD_DIR [FOLDER]
set -euo pipefail
build=${1:?usage: render_vs_dd.sh BUILD_DIR [FOLDER]}
if [ -n "${2:-}" ]; then
  folder=$2
  trap 'rm -f "$folder/busy.zvo" "$folder/busy.zvi" "$folder/busy.wav" "$folder/dd.raw"' EXIT
else
  folder=$(mktemp -d)
  trap 'rm -rf "$folder"' EXIT
fi

"$build/bench/make_busy_song" "$folder"
seconds=1800
bytes=$((seconds * 32004 * 2 + 44))

# The best of five runs of a command writing OUT, in seconds. Each run
# writes a new file (the last one is removed, untimed, first): what is timed
# is writing, not freeing what an older file held.
best() {
  local out=$1 best=""
  shift
  for _ in 1 2 3 4 5; do
    rm -f "$out"
    sync
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    best=$(echo "$start $end ${best:-1e9}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$best"
}

render=$(best "$folder/busy.wav" "$build/zorvik" render "$folder/busy.zvo" "$folder/busy.wav" \
  --bank "$folder/busy.zvi" --seconds "$seconds")
dd=$(best "$folder/dd.raw" dd if=/dev/zero of="$folder/dd.raw" bs=1M count=$((bytes / 1048576)) \
  status=none)
size=$(stat -c %s "$folder/busy.wav")
echo "render: ${render} s for $size bytes ($seconds s of audio)"
echo "dd:     ${dd} s"
awk -v r="$render" -v d="$dd" 'BEGIN { printf "ratio:  %.2f\n", r / d }'
