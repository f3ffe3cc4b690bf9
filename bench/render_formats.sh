#!/usr/bin/env bash
# Samples per second that zorvik render writes in each format, for the
# busy song at tempo 255: ten minutes of it (19.2 million samples) each,
# the best of three runs.
#
#   bench/render_formats.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: render_formats.sh BUILD_DIR}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
"$build/bench/make_busy_song" "$folder"
seconds=600
samples=$((seconds * 32004))
printf '%-6s %12s %16s\n' format seconds "samples/s"
for ext in wav flac aiff ogg opus mp3; do
  best=""
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$build/zorvik" render "$folder/busy.zvo" "$folder/out.$ext" --bank "$folder/busy.zvi" \
      --seconds "$seconds" 2>/dev/null
    end=$(date +%s.%N)
    best=$(echo "$start $end ${best:-1e9}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  awk -v e="$ext" -v t="$best" -v n="$samples" 'BEGIN { printf "%-6s %12.3f %16.0f\n", e, t, n / t }'
done
