#!/usr/bin/env bash
# Installs every Debian package the project needs, then configures and builds.
# Idempotent: packages already present are left alone, the build is incremental.
# Usage: scripts/setup.sh [--no-build] [--windows] [--help]
#   --windows  also the Windows cross build's packages (MinGW-w64, Wine) and
#              the prebuilt Qt for Windows, unpacked into $VINDREL_WIN_TOOLCHAIN
#              (default /work/toolchain-win); scripts/windows.sh uses them
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

build=1
windows=0
for a in "$@"; do
  case "$a" in
    --no-build) build=0 ;;
    --windows) windows=1 ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "setup.sh: unknown option '$a' (try --help)" >&2; exit 2 ;;
  esac
done

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # libraries
  qt6-base-dev libqt6opengl6-dev qt6-tools-dev qt6-svg-dev libqt6svg6
  libtinyxml2-dev libgtest-dev libgmock-dev nlohmann-json3-dev libutf8proc-dev
  # the server book (SQLite)
  libsqlite3-dev
  # vindrel-scan --watch's HTTP server; the real Prometheus and promtool its
  # lab test scrapes with, curl for its requests; systemd-analyze scores the
  # service file
  libmicrohttpd-dev prometheus curl systemd
  # the lab (nftables: its default-deny firewall; python3: another program
  # holding the reply port) and the window under test
  iproute2 procps nftables python3-minimal xvfb xauth x11-utils xdotool imagemagick trayer
  # real desktop parts: a window manager (openbox), a Wayland compositor
  # (weston, headless) with Qt's Wayland plugin, and a StatusNotifierItem
  # host (gtk-sni-tray-standalone) on a private D-Bus (dbus, gdbus)
  openbox weston qt6-wayland haskell-gtk-sni-tray-utils dbus libglib2.0-bin
  fonts-wqy-microhei fonts-dejavu-core
  # what a screen reader reads: the AT-SPI bus and pyatspi (D-Bus above)
  at-spi2-core python3-pyatspi
  # localedef and the locale sources: a legacy-charset locale, so 8-bit text
  # decoding is tested beyond UTF-8, and locales whose decimal comma or
  # dotless i would leak into machine output
  locales
  # sanitizers and fuzzing
  clang libclang-rt-14-dev
  # the Debian package (dpkg-shlibdeps for its dependencies) and its checks
  dpkg-dev file man-db desktop-file-utils appstream lintian
)

# Only with --windows, so that a run without the Windows step does not pay
# for it (about 1 GB installed).
windows_packages=(
  # the cross compiler (Qt needs the posix threads flavour), the packer and
  # the lab test's unpacker
  g++-mingw-w64-x86-64-posix zstd zip unzip
  # running what it builds: wine carries the wine command, wine64 the rest;
  # fonts-wine gives the prefix Windows' fonts
  wine wine64 fonts-wine
)
# The prebuilt Qt 6.4.2 for x86_64-w64-mingw32 with tinyxml2 and GoogleTest,
# and the libraries cross-built beside it (nlohmann-json, utf8proc, SQLite,
# SQLiteCpp), unpacked over the same prefix (shared/toolchains/NOTES.md).
win_archive=${VINDREL_WIN_TOOLCHAIN_ARCHIVE:-$here/../shared/toolchains/qt6.4.2-mingw64.tar.zst}
win_sha256=859be0401db1b8646d857e2b4823fd4889e09ca747d5482d52bbeb25fa5be40e
win_deps_archive=${VINDREL_WIN_DEPS_ARCHIVE:-$here/../shared/toolchains/deps-mingw64.tar.zst}
win_deps_sha256=6b7faa0e43ef5302783d5ea883171ea8f7050075ca82d48dea1ab6c0818e928e
win_toolchain=${VINDREL_WIN_TOOLCHAIN:-/work/toolchain-win}
[ "$windows" = 0 ] || packages+=("${windows_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: packages missing (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
  echo "setup.sh: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "$windows" = 1 ] && [ ! -f "$win_toolchain/prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  [ -f "$win_archive" ] || { echo "setup.sh: the Windows toolchain archive $win_archive is missing" >&2; exit 1; }
  echo "$win_sha256  $win_archive" | sha256sum --check --status ||
    { echo "setup.sh: $win_archive does not have the expected sha256" >&2; exit 1; }
  mkdir -p "$win_toolchain"
  zstd -dc "$win_archive" | tar -x -C "$win_toolchain"
  echo "setup.sh: Windows toolchain unpacked into $win_toolchain/prefix"
fi
# The stamp holds the sha256 of the deps archive last unpacked, so that a
# newer archive is unpacked again and an unchanged one is not.
win_deps_stamp=$win_toolchain/prefix/deps-mingw64.sha256
if [ "$windows" = 1 ] && [ "$(cat "$win_deps_stamp" 2>/dev/null)" != "$win_deps_sha256" ]; then
  [ -f "$win_deps_archive" ] || { echo "setup.sh: the Windows libraries archive $win_deps_archive is missing" >&2; exit 1; }
  echo "$win_deps_sha256  $win_deps_archive" | sha256sum --check --status ||
    { echo "setup.sh: $win_deps_archive does not have the expected sha256" >&2; exit 1; }
  zstd -dc "$win_deps_archive" | tar -x -C "$win_toolchain"
  echo "$win_deps_sha256" >"$win_deps_stamp"
  echo "setup.sh: Windows libraries unpacked into $win_toolchain/prefix"
fi

# The locales the tests run under, made from the sources the locales package
# brings (locales-all would be 250 MB). locale -a spells them in lower case
# without the dash: de_DE.utf8.
for wanted_locale in de_DE:UTF-8 tr_TR:UTF-8 zh_CN:GB18030; do
  name=${wanted_locale%%:*} charset=${wanted_locale#*:}
  wanted=$(echo "$name.$charset" | tr 'A-Z' 'a-z' | tr -d '-')
  locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$wanted" && continue
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: the locale $name.$charset is missing; run as root to make it" >&2
    continue
  fi
  # localedef warns (and exits 1) about harmless details of some sources.
  localedef -i "$name" -f "$charset" "$name.$charset" 2>/dev/null || true
  locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$wanted" ||
    echo "setup.sh: could not make the locale $name.$charset" >&2
done

[ "$build" = 1 ] || exit 0
# The build variants live in CMakePresets.json; this is "default" (build/).
cd "$here"
# shellcheck disable=SC2086
cmake --preset default ${VINDREL_CMAKE_ARGS:-} >/dev/null
cmake --build --preset default
