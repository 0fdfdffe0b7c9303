#!/usr/bin/env bash
# Cross-builds the Windows version with MinGW-w64 and the prebuilt Qt for
# Windows (preset "windows", build-win/), and runs its unit tests under Wine.
#
# Usage: scripts/windows.sh [STEP...] [--help]
#   configure  cmake --preset windows
#   build      configure, then build (nice, -j2)
#   test       build, then run the tests with ctest under Wine (the default)
#   dist       not yet: lays out build-win/dist/ and zips it (see below)
#
# Needs the "windows" package group and the toolchain: scripts/setup.sh
# --windows. Environment: VINDREL_WIN_TOOLCHAIN (default /work/toolchain-win,
# holding prefix/), VINDREL_JOBS (default 2). Exit: 0 all steps passed; 1 a
# step failed; 2 bad usage; 3 the toolchain or Wine is missing.
#
# The tests run in the build tree's own Wine prefix (build-win/wineprefix),
# made on first use. They open no socket beyond loopback: nothing here needs
# the network lab. A Wine program that does must start its own wineserver
# inside the lab (Wine makes sockets in the wineserver's namespace).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }
die() { echo "windows.sh: $1" >&2; exit "${2:-1}"; }

steps=()
for a in "$@"; do
  case "$a" in
    -h|--help) usage; exit 0 ;;
    configure|build|test) steps+=("$a") ;;
    dist) die "dist is not there yet: it waits for the Windows window layer (try --help)" 2 ;;
    *) die "unknown step or option '$a' (try --help)" 2 ;;
  esac
done
[ ${#steps[@]} -gt 0 ] || steps=(test)

export VINDREL_WIN_TOOLCHAIN=${VINDREL_WIN_TOOLCHAIN:-/work/toolchain-win}
jobs=${VINDREL_JOBS:-2}
build_dir="$here/build-win"
toolchain="$VINDREL_WIN_TOOLCHAIN/prefix/lib/cmake/Qt6/qt.toolchain.cmake"

[ -f "$toolchain" ] || die "no Windows toolchain in $VINDREL_WIN_TOOLCHAIN; run scripts/setup.sh --windows" 3
command -v x86_64-w64-mingw32-g++-posix >/dev/null || die "MinGW-w64 is missing; run scripts/setup.sh --windows" 3

configure() {
  cd "$here"
  nice -n 15 cmake --preset windows >/dev/null
}

build() {
  configure
  nice -n 15 cmake --build --preset windows -j "$jobs"
}

# A prefix of the build tree's own, booted once: no Mono/Gecko download
# offers, Windows' fonts, no crash dialog (a crashing test would wait for a
# click for ever; without it the backtrace goes to stderr and the exit code
# says so), and Qt's variables in the registry (Wine drops QT_* from the
# Unix environment; without a console a Qt program logs to the debugger).
prepare_prefix() {
  export WINEPREFIX="$build_dir/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ -f "$WINEPREFIX/.vindrel-ready" ] && return 0
  echo "windows.sh: making the Wine prefix $WINEPREFIX (once)"
  wineboot -i >/dev/null 2>&1 || die "wineboot -i failed for $WINEPREFIX"
  wineserver -w
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null 2>&1
  wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d minimal /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.vindrel-ready"
}

# The session (wineserver and Wine's helper processes) starts before ctest,
# with its output on /dev/null: started by the first test instead, the
# helpers would hold that test's output pipe, and ctest would wait for them
# after every test.
start_session() {
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1 || die "the Wine session did not start"
}

end_session() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

run_tests() {
  build
  command -v wine >/dev/null || die "Wine is missing; run scripts/setup.sh --windows" 3
  prepare_prefix
  trap end_session EXIT
  start_session
  cd "$here"
  ctest --preset windows
}

for s in "${steps[@]}"; do
  case "$s" in
    configure) configure ;;
    build) build ;;
    test) run_tests ;;
  esac
done

# Still to come (phase 2), for "dist":
#   build-win/dist/Vindrel/ with vindrel.exe, vindrel-scan.exe, the Qt DLLs
#   (Core, Gui, Widgets, UiTools), libtinyxml2.dll, the MinGW runtime DLLs,
#   platforms/qwindows.dll, styles/qwindowsvistastyle.dll, the skins, lang.xml
#   and res/ with the PNGs that the native build renders (build/bin/res:
#   QtSvg is not in the Windows Qt), then build-win/Vindrel-<version>-win64.zip.
