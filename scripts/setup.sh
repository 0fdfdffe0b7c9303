#!/usr/bin/env bash
# Installs every Debian package the project needs, then configures and builds.
# Idempotent: packages already present are left alone, the build is incremental.
# Usage: scripts/setup.sh [--no-build] [--help]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

build=1
for a in "$@"; do
  case "$a" in
    --no-build) build=0 ;;
    -h|--help) sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "setup.sh: unknown option '$a' (try --help)" >&2; exit 2 ;;
  esac
done

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # libraries
  qt6-base-dev libqt6opengl6-dev qt6-tools-dev qt6-svg-dev libqt6svg6
  libtinyxml2-dev libgtest-dev libgmock-dev
  # the lab and the window under test
  iproute2 nftables procps xvfb xauth x11-utils xdotool imagemagick trayer
  fonts-wqy-microhei fonts-dejavu-core
  # a legacy-charset locale, so 8-bit text decoding is tested beyond UTF-8
  locales
  # sanitizers and fuzzing
  clang libclang-rt-14-dev
)

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

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.gb18030$'; then
  if [ "$(id -u)" -eq 0 ]; then localedef -i zh_CN -f GB18030 zh_CN.GB18030 2>/dev/null || true; fi
fi

[ "$build" = 1 ] || exit 0
# The build variants live in CMakePresets.json; this is "default" (build/).
cd "$here"
# shellcheck disable=SC2086
cmake --preset default ${VINDREL_CMAKE_ARGS:-} >/dev/null
cmake --build --preset default
