#!/usr/bin/env bash
# Builds the Debian packages in BUILD/packages (BUILD defaults to build):
# zubmp3_<version>_<arch>.deb, and zubmp3-gui_<version>_<arch>.deb when Qt 6
# is installed. The build folder is configured with the prefix /usr, so the
# libraries go to Debian's multiarch folder /usr/lib/<triplet>/zubmp3 (and a
# later `cmake --install BUILD` without --prefix installs into /usr).
# Install with: sudo apt-get install ./BUILD/packages/zubmp3_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/packages/*.deb
(cd "$build" && cpack -G DEB)
