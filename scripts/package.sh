#!/usr/bin/env bash
# Builds the Debian package build/vindrel_<version>_<arch>.deb: the programs,
# skins and images, desktop entry, metainfo, icons, manual pages and firewall
# rules, as `cmake --install` lays them out under /usr. Configures build/ for
# the /usr prefix (the package's), builds what is missing and runs CPack.
# Needs the packages of scripts/setup.sh (dpkg-dev for the dependencies).
# Usage: scripts/package.sh [--help]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
  -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) echo "package.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
esac
command -v dpkg-shlibdeps >/dev/null || { echo "package.sh: dpkg-shlibdeps is missing; run scripts/setup.sh" >&2; exit 1; }
cd "$here"
# shellcheck disable=SC2086
cmake --preset default -DCMAKE_INSTALL_PREFIX=/usr ${VINDREL_CMAKE_ARGS:-} >/dev/null
cmake --build --preset default
rm -f build/vindrel_*.deb
(cd build && cpack -G DEB >cpack.log 2>&1) || { echo "package.sh: cpack failed:" >&2; tail -20 build/cpack.log >&2; exit 1; }
deb=$(ls build/vindrel_*.deb)
echo "package.sh: built $deb"
