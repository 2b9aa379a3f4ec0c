#!/usr/bin/env bash
# Builds everything and runs the main job: a generated piece of music is
# encoded to MP3 by the zubmp3 application (progress bar on a terminal),
# ID3v1 and ID3v2 tags are written into the result, and the tags are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"

zubmp3=build/bin/zubmp3
out=build/demo
mkdir -p "$out"
step() { printf '\n== %s\n' "$*"; }

step "Generating $out/demo.wav (10 s of music, 44.1 kHz stereo)"
build/bin/zubmp3-demo-wav "$out/demo.wav" --seconds 10

step "Encoding $out/demo.mp3 (192 kbit/s, joint stereo, high quality)"
progress=()
[ -t 2 ] || progress=(--events)  # no terminal for a progress bar: show the control's events instead
"$zubmp3" encode "$out/demo.wav" "$out/demo.mp3" --bitrate 192 --mode joint --quality high "${progress[@]}"

step "Writing the tags"
"$zubmp3" tag-v1 "$out/demo.mp3" --title "Demo in C" --artist "zubmp3" --album "Generated" \
  --year 2024 --track 1 --genre Electronic --comment "Made by scripts/demo.sh"
"$zubmp3" tag-v2 "$out/demo.mp3" --title "Demo in C (chords, bass and drums)" --artist "zubmp3" \
  --album "Generated" --year 2024 --track 1 --genre Electronic --comment "Made by scripts/demo.sh" \
  --encoded-by "zubmp3" --composer "zubmp3-demo-wav" --url "https://example.org/zubmp3"

step "Tags of $out/demo.mp3"
"$zubmp3" tags "$out/demo.mp3"
printf '\nDone: %s (%s bytes)\n' "$out/demo.mp3" "$(stat -c %s "$out/demo.mp3")"
if [ -x build/bin/zubmp3-gui ]; then
  printf 'The desktop application, with this file queued: build/bin/zubmp3-gui %s\n' "$out/demo.wav"
fi
