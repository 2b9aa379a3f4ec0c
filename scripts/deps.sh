#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  scdoc dpkg-dev file  # the man page; the Debian package (dpkg-shlibdeps)
  libgtest-dev libgmock-dev
  libmp3lame-dev libcli11-dev nlohmann-json3-dev
  libsndfile1-dev libsoxr-dev sox  # the encode command's conversions; sox makes test inputs
  clang libclang-rt-14-dev
  lame ffmpeg mpg123 python3 python3-mutagen eyed3 id3v2
  qt6-base-dev xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
