#!/usr/bin/env bash
# Cross-builds the Windows version with MinGW-w64 and the prebuilt Qt for
# Windows (preset "windows", build-win/), tests it under Wine, and packs the
# portable folder a Windows user unzips.
#
# Usage: scripts/windows.sh [STEP...] [--help]
#   configure  cmake --preset windows (renders the images natively first)
#   build      configure, then build vindrel.exe, vindrel-scan.exe and the
#              unit tests (nice, -j2)
#   test       build, then run the unit tests with ctest under Wine
#   dist       build, then lay out build-win/dist/vindrel-VERSION-win64/
#              (executables, skins, images, lang.xml, the Qt, MinGW and
#              library DLLs, the platform and style plugins), check that it
#              needs no other DLL, and zip it as
#              build-win/vindrel-VERSION-win64.zip
#   lab        dist, then the zip under Wine in the network lab (root): a
#              fresh Wine prefix, vindrel-scan.exe finding the simulated
#              servers, the window listing them (tests/windows/lab_windows.sh)
#   all        test, dist and lab (the default: what CI runs)
#
# Needs the "windows" package group and the toolchain: scripts/setup.sh
# --windows. Environment: VINDREL_WIN_TOOLCHAIN (default /work/toolchain-win,
# holding prefix/), VINDREL_JOBS (default 2), VINDREL_WIN_SHOT (lab: save the
# window's screenshot there). Exit: 0 all steps passed; 1 a step failed;
# 2 bad usage; 3 the toolchain or Wine is missing, or the lab step lacks root.
#
# The unit tests run in the build tree's own Wine prefix (build-win/wineprefix),
# made on first use; they open no socket beyond loopback. The lab step makes
# a new prefix for every run inside the lab, with its own wineserver: Wine
# makes sockets in the wineserver's network namespace, so a Wine program that
# sends must never share a wineserver started outside the lab.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }
die() { echo "windows.sh: $1" >&2; exit "${2:-1}"; }

steps=()
for a in "$@"; do
  case "$a" in
    -h|--help) usage; exit 0 ;;
    configure|build|test|dist|lab) steps+=("$a") ;;
    all) steps+=(test dist lab) ;;
    *) die "unknown step or option '$a' (try --help)" 2 ;;
  esac
done
[ ${#steps[@]} -gt 0 ] || steps=(test dist lab)

export VINDREL_WIN_TOOLCHAIN=${VINDREL_WIN_TOOLCHAIN:-/work/toolchain-win}
jobs=${VINDREL_JOBS:-2}
build_dir="$here/build-win"
qt_bin="$VINDREL_WIN_TOOLCHAIN/prefix/bin"
qt_plugins="$VINDREL_WIN_TOOLCHAIN/prefix/plugins"
toolchain="$VINDREL_WIN_TOOLCHAIN/prefix/lib/cmake/Qt6/qt.toolchain.cmake"

[ -f "$toolchain" ] || die "no Windows toolchain in $VINDREL_WIN_TOOLCHAIN; run scripts/setup.sh --windows" 3
command -v x86_64-w64-mingw32-g++-posix >/dev/null || die "MinGW-w64 is missing; run scripts/setup.sh --windows" 3

# The Windows Qt has no QtSvg: the images come from the native build's
# renderer (build/bin/res), and the lab runs the native korvan-sim.
native() {
  cd "$here"
  [ -f build/build.ninja ] || nice -n 15 cmake --preset default >/dev/null
  nice -n 15 cmake --build --preset default -j "$jobs" --target "$@" >/dev/null
}

configure() {
  native vindrel_res
  cd "$here"
  # The toolchain file appends a WINEPATH of the environment to the
  # emulator's with a ';', which CMake then splits into two arguments.
  env -u WINEPATH nice -n 15 cmake --preset windows >/dev/null
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
  end_session
  trap - EXIT
}

version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt"; }

# The DLLs a Windows 10 machine has of its own; every other DLL an .exe or
# .dll of the folder imports must lie in the folder.
system_dlls='^(advapi32|bcrypt|comdlg32|d3d11|d3d12|d3d9|dwmapi|dxgi|dwrite|gdi32|imm32|iphlpapi|kernel32|msvcrt|netapi32|ole32|oleaut32|secur32|setupapi|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|winspool\.drv|ws2_32|wtsapi32|mpr|authz|ntdll|cfgmgr32|d2d1|crypt32|dnsapi|api-ms-win-[a-z0-9-]+)\.dll$'

check_imports() {
  local folder=$1 missing=0 f dll
  while IFS= read -r -d '' f; do
    while read -r dll; do
      [ -f "$folder/$dll" ] && continue
      echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls" && continue
      echo "windows.sh: ${f#"$folder"/} needs $dll, which is neither in the folder nor part of Windows" >&2
      missing=1
    done < <(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^\tDLL Name: //p')
  done < <(find "$folder" -name '*.exe' -print0 -o -name '*.dll' -print0)
  [ "$missing" = 0 ] || die "the folder is incomplete"
}

dist() {
  build
  local v name out zip
  v=$(version)
  name="vindrel-$v-win64"
  out="$build_dir/dist/$name"
  zip="$build_dir/$name.zip"
  rm -rf "$build_dir/dist" "$zip"
  mkdir -p "$out/platforms" "$out/styles"
  # Stripped: the build tree keeps the debug information.
  for exe in vindrel.exe vindrel-scan.exe; do
    x86_64-w64-mingw32-strip --strip-unneeded -o "$out/$exe" "$build_dir/bin/$exe"
  done
  # lang.xml makes the folder portable: settings and log stay in it.
  for skin in vindrel.xml listitem.xml menu.xml message.xml lang.xml; do
    cp "$build_dir/bin/$skin" "$out/"
  done
  (cd "$build_dir/bin" && find res -name '*.png' -print0 | xargs -0 cp --parents -t "$out")
  for dll in Qt6Core Qt6Gui Qt6Widgets Qt6UiTools libtinyxml2 libutf8proc libstdc++-6 libgcc_s_seh-1 libwinpthread-1; do
    cp "$qt_bin/$dll.dll" "$out/"
  done
  # The prefix's libraries that only some builds link: shipped where an
  # executable imports them.
  # (Read whole first: grep -q would end the pipe early, which pipefail
  # takes for a failure.)
  local imports
  imports=$(x86_64-w64-mingw32-objdump -p "$out"/*.exe)
  for dll in libsqlite3-0.dll; do
    if grep -qi "DLL Name: $dll\$" <<<"$imports"; then
      cp "$qt_bin/$dll" "$out/"
    fi
  done
  cp "$qt_plugins/platforms/qwindows.dll" "$out/platforms/"
  cp "$qt_plugins/styles/qwindowsvistastyle.dll" "$out/styles/"
  check_imports "$out"
  (cd "$build_dir/dist" && zip -q -9 -r -X "$zip" "$name")
  local zipped unpacked
  zipped=$(stat -c %s "$zip")
  unpacked=$(find "$out" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
  echo "windows.sh: $zip: $zipped bytes ($(awk -v b="$zipped" 'BEGIN {printf "%.1f", b / 1048576}') MiB)," \
    "$unpacked bytes unpacked ($(awk -v b="$unpacked" 'BEGIN {printf "%.1f", b / 1048576}') MiB)"
}

lab() {
  dist
  [ "$(id -u)" -eq 0 ] || die "the lab step needs root (network namespaces)" 3
  native korvan-sim vindrel-scan
  cd "$here"
  local zip
  zip="$build_dir/vindrel-$(version)-win64.zip"
  scripts/netlab.sh run --bin build/bin --servers 3 --macvlan -- \
    tests/windows/lab_windows.sh "$zip" build/bin "$build_dir/tests/clipboard_text.exe" ${VINDREL_WIN_SHOT:+"$VINDREL_WIN_SHOT"}
  scripts/netlab.sh run --bin build/bin --interfaces 2 --servers 2 -- \
    tests/windows/lab_windows.sh "$zip" build/bin "$build_dir/tests/clipboard_text.exe"
}

for s in "${steps[@]}"; do
  case "$s" in
    configure) configure ;;
    build) build ;;
    test) run_tests ;;
    dist) dist ;;
    lab) lab ;;
  esac
done
