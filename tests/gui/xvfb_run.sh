#!/usr/bin/env bash
# Runs a command in a virtual X server of its own: Xvfb picks a free display
# (-displayfd), so parallel tests never race for one. Without Xvfb, and
# outside CI, the test is skipped (status 77).
set -euo pipefail
if ! command -v Xvfb >/dev/null; then
  [ "${CI:-}" = true ] && { echo "Xvfb missing (install xvfb)" >&2; exit 1; }
  echo "Xvfb not installed: skipped" >&2
  exit 77
fi
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$display_file"' EXIT
# Xvfb writes the display number once it accepts clients.
for _ in $(seq 300); do
  [ -s "$display_file" ] && break
  kill -0 "$server" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$display_file" ] || { echo "Xvfb gave no display in 30 s" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")" QT_QPA_PLATFORM=xcb
"$@"
