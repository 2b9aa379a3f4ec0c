#!/usr/bin/env bash
# Installs a release build folder (default build) as users of the component
# do, and checks what they get:
#   1. cmake --install into a staging prefix, and with DESTDIR: the layout,
#      the RUNPATHs, no path of the build machine in any installed file;
#   2. the README's example built against that prefix with find_package and
#      with pkg-config, and run; built again after the prefix is moved;
#   3. the Debian packages built with CPack (scripts/package.sh), installed
#      with apt-get, the demo's encode and tag steps run by an unprivileged
#      user on files in his home (and the example built by him against the
#      system install), then removed with apt-get: nothing may be left.
# Step 3 installs packages and adds a user: without root it is skipped, with
# the reason.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/CMakeCache.txt" ] || { echo "install check: no build in $build" >&2; exit 1; }
work=$(mktemp -d)

user=zubmp3-check   # the unprivileged user of step 3
installed=()        # packages this script installed and has not removed yet
created_user=0
prefix_before=""    # the build's own install prefix while packaging changed it
cleanup() {
  [ -z "$prefix_before" ] || cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX="$prefix_before" >/dev/null || true
  [ ${#installed[@]} -eq 0 ] || apt_get remove -y "${installed[@]}" || true
  [ "$created_user" = 0 ] || userdel --remove "$user" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "install check: $*" >&2; exit 1; }
apt_get() {  # apt-get under the machine's package lock, its chatter shown only on failure
  DEBIAN_FRONTEND=noninteractive flock /tmp/apt.lock apt-get "$@" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; return 1; }
}
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
runpath() { readelf -d "$1" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p'; }
libdir=$(cached CMAKE_INSTALL_LIBDIR)
version=$(sed -n 's/^project(zubmp3 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# check_tree ROOT: the installed files under ROOT (a prefix as it lies on disk).
check_tree() {
  local root=$1 lib
  for f in bin/zubmp3 include/zubmp3/zubencode.h include/zubmp3/host.h share/doc/zubmp3/README.md \
           share/bash-completion/completions/zubmp3 \
           "$libdir/cmake/zubmp3/zubmp3Config.cmake" "$libdir/cmake/zubmp3/zubmp3ConfigVersion.cmake" \
           "$libdir/pkgconfig/zubmp3.pc"; do
    [ -f "$root/$f" ] || fail "$f is not installed in $root"
  done
  [ ! -f "$build/doc/zubmp3.1.gz" ] || [ -f "$root/share/man/man1/zubmp3.1.gz" ] || fail "the man page is not installed"
  for lib in zubmp3ctl zubmp3enc2 zubmp3enc1; do
    local base="$root/$libdir/zubmp3/lib$lib.so"
    [ -f "$base.$version" ] && [ "$(readlink "$base.${version%%.*}")" = "lib$lib.so.$version" ] &&
      [ "$(readlink "$base")" = "lib$lib.so.${version%%.*}" ] || fail "lib$lib.so and its links are not in place"
    [ "$(runpath "$base.$version")" = '$ORIGIN' ] || fail "RUNPATH of lib$lib.so: $(runpath "$base.$version")"
  done
  local programs=("$root/bin/zubmp3")
  if [ -x "$build/bin/zubmp3-gui" ]; then  # the desktop host is built: its parts too
    [ -f "$root/include/zubmp3/zubencode_widget.h" ] && [ -f "$root/$libdir/zubmp3/libzubmp3ctl-qt.so.$version" ] ||
      fail "the widget is not installed"
    [ -f "$root/share/applications/zubmp3-gui.desktop" ] || fail "the desktop entry is not installed"
    programs+=("$root/bin/zubmp3-gui")
  fi
  for program in "${programs[@]}"; do
    [ "$(runpath "$program")" = "\$ORIGIN/../$libdir/zubmp3" ] || fail "RUNPATH of $program: $(runpath "$program")"
  done
  if readelf -d "${programs[@]}" "$root/$libdir"/zubmp3/*.so."$version" | grep -q '(RPATH)'; then
    fail "an installed binary has an old-style RPATH"
  fi
  if grep -rlF -e "$PWD" -e "$(cd "$build" && pwd)" "$root"; then
    fail "the files above name folders of the build machine"
  fi
}

# check_example EXE PREFIX: the example encodes and tags; the installed
# zubmp3 reads the tags back.
check_example() {
  local out="$work/example-$(basename "$1").mp3"
  "$1" "$work/in.wav" "$out" >/dev/null || fail "$1 failed"
  "$2/bin/zubmp3" tags --json "$out" | python3 -c '
import json, sys
tags = json.load(sys.stdin)
assert tags["id3v1"]["title"] == "Demo" and tags["id3v2"]["genre"] == "Electronic", tags' ||
    fail "$1 did not tag its MP3"
}

# build_with_cmake PREFIX FOLDER: the example through find_package(zubmp3).
build_with_cmake() {
  cmake -S app/examples -B "$2" -DCMAKE_PREFIX_PATH="$1" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$2" >/dev/null
}

echo "-- staging install ($libdir)"
stage="$work/stage"
cmake --install "$build" --prefix "$stage" >/dev/null
check_tree "$stage"
grep -qx "prefix=$stage" "$stage/$libdir/pkgconfig/zubmp3.pc" || fail "zubmp3.pc does not name the prefix"
DESTDIR="$work/destdir" cmake --install "$build" --prefix /opt/zubmp3 >/dev/null
[ "$(ls "$work/destdir")" = opt ] || fail "DESTDIR install wrote outside DESTDIR/opt"
check_tree "$work/destdir/opt/zubmp3"
grep -qx "prefix=/opt/zubmp3" "$work/destdir/opt/zubmp3/$libdir/pkgconfig/zubmp3.pc" || fail "zubmp3.pc under DESTDIR"

echo "-- the example against the staging prefix: find_package, pkg-config"
"$build/bin/zubmp3-demo-wav" "$work/in.wav" --seconds 2 >/dev/null
build_with_cmake "$stage" "$work/with-cmake"
check_example "$work/with-cmake/encode_example" "$stage"
PKG_CONFIG_PATH="$stage/$libdir/pkgconfig" c++ -std=c++17 app/examples/encode_example.cpp \
  $(PKG_CONFIG_PATH="$stage/$libdir/pkgconfig" pkg-config --cflags --libs zubmp3) -o "$work/with-pkg-config"
check_example "$work/with-pkg-config" "$stage"
if [ -x "$build/bin/zubmp3-gui" ]; then  # zubmp3::widget is found with its Qt
  mkdir "$work/widget"
  printf '%s\n' 'cmake_minimum_required(VERSION 3.16)' 'project(widget_user LANGUAGES CXX)' \
    'find_package(zubmp3 1.2 REQUIRED COMPONENTS widget)' \
    'get_target_property(file zubmp3::widget IMPORTED_LOCATION_RELEASE)' \
    'if(NOT EXISTS "${file}")' '  message(FATAL_ERROR "zubmp3::widget: ${file}")' 'endif()' >"$work/widget/CMakeLists.txt"
  cmake -S "$work/widget" -B "$work/widget/build" -DCMAKE_PREFIX_PATH="$stage" >/dev/null ||
    fail "find_package(zubmp3 COMPONENTS widget) failed"
fi
mv "$stage" "$work/moved"
build_with_cmake "$work/moved" "$work/relocated"
check_example "$work/relocated/encode_example" "$work/moved"

echo "-- Debian packages"
prefix_before=$(cached CMAKE_INSTALL_PREFIX)
scripts/package.sh "$build" >"$work/package.log" 2>&1 || { cat "$work/package.log"; fail "packaging failed"; }
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX="$prefix_before" >/dev/null
prefix_before=""
debs=("$build"/packages/zubmp3_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no zubmp3_${version}_<arch>.deb in $build/packages"
[ ! -f "$(echo "$build"/packages/zubmp3-gui_*.deb)" ] || debs+=("$build"/packages/zubmp3-gui_*.deb)
for deb in "${debs[@]}"; do echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"; done
dpkg-deb -f "${debs[0]}" Depends | grep -q libmp3lame0 || fail "zubmp3 does not depend on libmp3lame0"
if dpkg-deb -f "${debs[0]}" Depends | grep -qi qt; then fail "the zubmp3 package depends on Qt"; fi

if [ "$(id -u)" -ne 0 ]; then
  echo "-- skipped installing the packages: apt-get and useradd need root (CI runs this as root)"
  exit 0
fi
for name in zubmp3 zubmp3-gui; do
  if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'ok installed'; then
    echo "-- skipped installing the packages: $name is installed on this machine and would be removed"
    exit 0
  fi
done

echo "-- apt-get install ${debs[*]##*/}"
packages=()
for deb in "${debs[@]}"; do packages+=("$(dpkg-deb -f "$deb" Package)"); done
absolute=()
for deb in "${debs[@]}"; do absolute+=("$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"); done
installed=("${packages[@]}")
apt_get install -y --no-install-recommends "${absolute[@]}"
for bin in /usr/bin/zubmp3 /usr/bin/zubmp3-gui; do
  [ ! -e "$bin" ] || ! ldd "$bin" | grep -q 'not found' || fail "$bin misses libraries: $(ldd "$bin")"
done

echo "-- the demo's steps as the unprivileged user $user"
if ! id "$user" >/dev/null 2>&1; then
  useradd --create-home --shell /bin/sh "$user"
  created_user=1
fi
home=$(getent passwd "$user" | cut -d: -f6)
as_user() { runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 sh -ec "cd; $1"; }
as_user 'rm -rf zubmp3-check && mkdir zubmp3-check'
install -o "$user" -m 644 "$work/in.wav" app/examples/encode_example.cpp app/examples/CMakeLists.txt "$home/zubmp3-check/"
as_user 'cd zubmp3-check
  zubmp3 encode in.wav demo.mp3 --bitrate 192 --mode joint --quality high --events >events.txt
  zubmp3 tag-v1 demo.mp3 --title "Demo in C" --artist zubmp3 --year 2024 --track 1 --genre Electronic
  zubmp3 tag-v2 demo.mp3 --title "Demo in C (chords, bass and drums)" --artist zubmp3 --composer zubmp3-demo-wav
  zubmp3 tags --json demo.mp3 >tags.json'
python3 - "$home/zubmp3-check" <<'PYTHON' || fail "the user's files are not what the demo's steps make"
import json, os, sys
folder = sys.argv[1]
assert open(os.path.join(folder, "events.txt")).read().endswith("ErrorCode 0 No error \nFinished\nProgress 100\n")
tags = json.load(open(os.path.join(folder, "tags.json")))
assert tags["id3v1"]["title"] == "Demo in C" and tags["id3v1"]["track"] == 1, tags
assert tags["id3v2"]["title"] == "Demo in C (chords, bass and drums)", tags
assert tags["id3v2"]["composer"] == "zubmp3-demo-wav", tags
left = sorted(os.listdir(folder))  # no temporary file beside the MP3
assert left == ["CMakeLists.txt", "demo.mp3", "encode_example.cpp", "events.txt", "in.wav", "tags.json"], left
PYTHON
as_user 'cd zubmp3-check
  cmake -S . -B with-cmake >/dev/null && cmake --build with-cmake >/dev/null
  c++ -std=c++17 encode_example.cpp $(pkg-config --cflags --libs zubmp3) -o with-pkg-config
  with-cmake/encode_example "$HOME/zubmp3-check/in.wav" "$HOME/zubmp3-check/a.mp3" >/dev/null
  ./with-pkg-config "$HOME/zubmp3-check/in.wav" "$HOME/zubmp3-check/b.mp3" >/dev/null' ||
  fail "the example does not build or run against the system install"

echo "-- apt-get remove ${packages[*]}"
for name in "${packages[@]}"; do dpkg-query -L "$name"; done | sort -u >"$work/files.txt"
apt_get remove -y "${packages[@]}"
installed=()
while read -r path; do
  # Files, links and our own folders must be gone; shared folders (/usr/bin) stay.
  if [ -L "$path" ] || [ -f "$path" ] || { [ -d "$path" ] && [[ $path == *zubmp3* ]]; }; then
    fail "$path is left after apt-get remove"
  fi
done <"$work/files.txt"
for name in "${packages[@]}"; do
  ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'ok installed' || fail "$name is still installed"
done
as_user 'rm -rf zubmp3-check'
echo "-- install check passed"
