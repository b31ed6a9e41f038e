#!/usr/bin/env bash
# Builds a Debian package of Nimbrel: a release build installed under /usr, packed by CPack
# into build-package/nimbrel_<version>-1_<arch>.deb, then checked with lintian when it is
# installed. Extra arguments go to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NIMBREL_PACKAGE_DIR:-$root/build-package}"
NIMBREL_DEPS=build "$root/scripts/install-deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DNIMBREL_BUILD_TESTS=OFF -DNIMBREL_BUILD_BENCH=OFF "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls -t "$build"/nimbrel_*.deb | head -n 1)"
echo "Package: $deb"
dpkg-deb --info "$deb" | sed -n '/Depends:/p;/Recommends:/p'
if command -v lintian >/dev/null; then
  # Each tag we accept is explained in scripts/lintian-overrides.txt.
  lintian --suppress-tags-from-file "$root/scripts/lintian-overrides.txt" "$deb" || true
else
  echo "lintian is not installed: apt-get install lintian to check the package" >&2
fi
