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
  libtinyxml2-dev libgtest-dev libgmock-dev
  # the lab (nftables: its default-deny firewall; python3: another program
  # holding the reply port) and the window under test
  iproute2 procps nftables python3-minimal xvfb xauth x11-utils xdotool imagemagick trayer
  # real desktop parts: a window manager (openbox), a Wayland compositor
  # (weston, headless) with Qt's Wayland plugin, and a StatusNotifierItem
  # host (gtk-sni-tray-standalone) on a private D-Bus (dbus, gdbus)
  openbox weston qt6-wayland haskell-gtk-sni-tray-utils dbus libglib2.0-bin
  fonts-wqy-microhei fonts-dejavu-core
  # a legacy-charset locale, so 8-bit text decoding is tested beyond UTF-8
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
# The prebuilt Qt 6.4.2 for x86_64-w64-mingw32 with tinyxml2 and GoogleTest
# (shared/toolchains/NOTES.md).
win_archive=${VINDREL_WIN_TOOLCHAIN_ARCHIVE:-$here/../shared/toolchains/qt6.4.2-mingw64.tar.zst}
win_sha256=859be0401db1b8646d857e2b4823fd4889e09ca747d5482d52bbeb25fa5be40e
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

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.gb18030$'; then
  if [ "$(id -u)" -eq 0 ]; then localedef -i zh_CN -f GB18030 zh_CN.GB18030 2>/dev/null || true; fi
fi

[ "$build" = 1 ] || exit 0
# The build variants live in CMakePresets.json; this is "default" (build/).
cd "$here"
# shellcheck disable=SC2086
cmake --preset default ${VINDREL_CMAKE_ARGS:-} >/dev/null
cmake --build --preset default
