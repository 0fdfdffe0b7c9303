#!/usr/bin/env bash
# The Debian package as a user gets it: builds it (scripts/package.sh), lints
# it (lintian: errors and warnings fail), unpacks it into a temporary root and
# checks what it holds (programs, skins, images, desktop entry, metainfo,
# icons, manual pages, firewall rules; no setting beside the executable),
# validates the desktop entry and the metainfo, then installs it for real
# (apt-get), runs the installed vindrel-scan and korvan-sim --version from the
# PATH inside an empty network namespace, finds a manual page and removes the
# package.
# Needs root (apt-get, unshare); removes a vindrel package installed before.
# The programs it runs reach no network.
# --lab also runs the installed window in the network lab
# (tests/package/installed_in_lab.sh).
# Usage: tests/package/check_deb.sh [--lab] [--help]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
lab=0
for a in "$@"; do
  case "$a" in
    --lab) lab=1 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "check_deb.sh: unknown option '$a' (try --help)" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "check_deb.sh: needs root (apt-get, unshare): sudo $0 $*" >&2; exit 1; }

failures=0
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...: one line either way
  local what=$1; shift
  if "$@"; then ok "$what"; else bad "$what"; fi
}

cd "$here"
"$here/scripts/package.sh"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/CPackConfig.cmake)
deb="build/vindrel_${version}_$(dpkg --print-architecture).deb"
[ -n "$version" ] && [ -f "$deb" ] || { echo "FAIL: package.sh made no $deb" >&2; exit 1; }
ok "built $deb"

# lintian, errors and warnings. A package needs a copyright file; until the
# project has a LICENSE there is none to ship, and that one tag is expected.
lint_skip=()
[ -f LICENSE ] || lint_skip=(--suppress-tags no-copyright-file)
lint=$(lintian --fail-on error,warning "${lint_skip[@]}" "$deb" 2>&1) && lint_rc=0 || lint_rc=$?
lint=$(grep -v '^running with root privileges' <<<"$lint" || true)
[ -z "$lint" ] || echo "$lint"
check "lintian: no errors or warnings" test "$lint_rc" = 0

root=$(mktemp -d /tmp/vindrel-deb-XXXXXX)
cleanup() {
  rm -rf "$root"
  # Never leave the package installed on the machine after a failure.
  if dpkg-query -W -f='${Status}' vindrel 2>/dev/null | grep -q 'ok installed'; then
    apt-get remove -y -qq vindrel >/dev/null 2>&1 || true
  fi
  dpkg --purge vindrel >/dev/null 2>&1 || true
}
trap cleanup EXIT
dpkg -x "$deb" "$root"
desktops=$(cd "$root/usr/share/applications" && ls)
app_id=${desktops%.desktop}
check "one desktop entry, named by a reverse-DNS ID ($desktops)" \
  bash -c '[[ "$1" =~ ^[a-z0-9]+(\.[A-Za-z0-9_-]+){2,}\.desktop$ ]]' _ "$desktops"

# --- what the tree holds
for f in usr/bin/vindrel usr/bin/vindrel-scan usr/bin/korvan-sim; do
  check "$f is an executable" test -x "$root/$f" -a -f "$root/$f"
done
bin_files=$(cd "$root/usr/bin" && ls -A | tr '\n' ' ')
check "usr/bin holds the three programs only (has: $bin_files)" test "$bin_files" = "korvan-sim vindrel vindrel-scan "
for skin in vindrel.xml listitem.xml menu.xml message.xml; do
  check "share/vindrel/$skin is res/$skin" cmp -s "res/$skin" "$root/usr/share/vindrel/$skin"
done
# Every image the build renders for the program, and nothing else.
want=$(cd build/bin/res && find . -name '*.png' ! -path './icons/*' | sort)
have=$(cd "$root/usr/share/vindrel/res" && find . -type f | sort)
if [ "$want" = "$have" ]; then
  ok "share/vindrel/res holds every rendered image ($(wc -l <<<"$want") files)"
else
  bad "share/vindrel/res differs from the rendered images (< build/bin/res, > package):"
  diff <(echo "$want") <(echo "$have") >&2 || true
fi
for p in res/vindrel.png res/common/close_btn_normal.png res/mainwnd/search_btn_selected@2x.png res/msgwnd/info.png; do
  check "share/vindrel/$p" test -s "$root/usr/share/vindrel/$p"
done
for size in 16 24 32 48 64 128 256; do
  icon="usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  check "$icon is ${size} px square" bash -c 'file -b "$1" | grep -q "PNG image data, $2 x $2,"' _ "$root/$icon" "$size"
done
check "the scalable icon is an SVG" bash -c 'file -b "$1" | grep -q SVG' _ "$root/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
desktop="$root/usr/share/applications/$app_id.desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
check "the desktop entry names the icon and the program" \
  bash -c 'grep -qx "Icon=$2" "$1" && grep -qx "Exec=vindrel" "$1"' _ "$desktop" "$app_id"
check "the metainfo's release is $version" grep -q "<release version=\"$version\"" "$metainfo"
for page in vindrel vindrel-scan korvan-sim; do
  man="$root/usr/share/man/man1/$page.1.gz"
  check "man1/$page.1.gz is stamped with $version" bash -c 'zcat "$1" | head -1 | grep -q "\"Vindrel $2\""' _ "$man" "$version"
  check "man1/$page.1.gz renders without warnings" bash -c \
    '! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null | grep .' _ "$man"
done
check "the firewalld service opens UDP 6000" \
  grep -q '<port protocol="udp" port="6000"/>' "$root/usr/lib/firewalld/services/vindrel.xml"
check "the ufw profile opens UDP 6000" grep -qx 'ports=6000/udp' "$root/etc/ufw/applications.d/vindrel"
check "the ufw profile is a conffile" bash -c \
  'dpkg-deb -I "$1" conffiles | grep -qx /etc/ufw/applications.d/vindrel' _ "$deb"
check "the watch service is in the package" test -f "$root/usr/lib/systemd/system/vindrel-watch.service"
check "the watch service reads /etc/default/vindrel-watch, a conffile" \
  bash -c 'grep -qx "EnvironmentFile=/etc/default/vindrel-watch" "$1/usr/lib/systemd/system/vindrel-watch.service" &&
           dpkg-deb -I "$2" conffiles | grep -qx /etc/default/vindrel-watch' _ "$root" "$deb"
check "the watch service is not enabled by the package (no wants link, no maintainer script)" \
  bash -c '! find "$1/etc" -path "*wants*" | grep -q . && ! dpkg-deb -I "$2" postinst >/dev/null 2>&1' _ "$root" "$deb"
"$here/tests/package/service_security.sh" "$root/usr/lib/systemd/system/vindrel-watch.service" && ok "watch service sandbox" ||
  bad "watch service sandbox: exposure above 2.0"
settings=$(cd "$root" && find . \( -name lang.xml -o -name log -o -name '*.ini' -o -name '*.conf' \) | tr '\n' ' ')
check "no setting or log in the package (found: ${settings:-none})" test -z "$settings"
check "the package version is $version" test "$(dpkg-deb -f "$deb" Version)" = "$version"
check "the package is in section net" test "$(dpkg-deb -f "$deb" Section)" = net
check "its dependencies come from the libraries (Qt, tinyxml2)" bash -c \
  'dpkg-deb -f "$1" Depends | grep -q libqt6widgets6 && dpkg-deb -f "$1" Depends | grep -q libtinyxml2' _ "$deb"

# --- the validators, on the files as installed
check "desktop-file-validate" desktop-file-validate "$desktop"
check "appstreamcli validate --no-net" appstreamcli validate --no-net "$metainfo"
check "appstreamcli validate-tree --no-net (metainfo, desktop entry, icons together)" \
  appstreamcli validate-tree --no-net "$root"

if [ "$lab" = 1 ]; then
  check "the installed window in the lab" "$here/scripts/netlab.sh" run --bin "$root/usr/bin" --servers 5 --macvlan -- \
    "$here/tests/package/installed_in_lab.sh" "$root"
fi

# --- installed for real, once
# A vindrel installed before (an earlier run, by hand) goes first.
dpkg --purge vindrel >/dev/null 2>&1 || true
export DEBIAN_FRONTEND=noninteractive
if apt-get install -y -qq --no-install-recommends "./$deb" >"$root.apt" 2>&1; then
  ok "apt-get install ./$deb"
  check "vindrel-scan is on the PATH as /usr/bin/vindrel-scan" test "$(command -v vindrel-scan)" = /usr/bin/vindrel-scan
  for program in vindrel-scan korvan-sim; do
    out=$(unshare -n "$program" --version 2>&1) && rc=0 || rc=$?
    check "$program --version prints $version and exits 0 (printed '$out', exit $rc)" \
      bash -c '[ "$1" = 0 ] && [ "$3" = "$4 $2" ]' _ "$rc" "$version" "$out" "$program"
  done
  check "man -w vindrel-scan finds the installed page" \
    bash -c '[ "$(man -w vindrel-scan)" = /usr/share/man/man1/vindrel-scan.1.gz ]'
  if apt-get remove -y -qq vindrel >>"$root.apt" 2>&1; then
    ok "apt-get remove vindrel"
    check "the programs are gone" test ! -e /usr/bin/vindrel -a ! -e /usr/bin/vindrel-scan -a ! -e /usr/share/vindrel
  else
    bad "apt-get remove vindrel"; cat "$root.apt" >&2
  fi
else
  bad "apt-get install ./$deb"; cat "$root.apt" >&2
fi
rm -f "$root.apt"

if [ "$failures" -gt 0 ]; then
  echo "check_deb: $failures check(s) failed" >&2
  exit 1
fi
echo "check_deb: the package is sound"
