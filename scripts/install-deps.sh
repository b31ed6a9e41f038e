#!/usr/bin/env bash
# Installs the Debian packages still missing for what is asked in NIMBREL_DEPS:
#   build    the compiler, CMake, Ninja, Qt 6, RE2 and Hyperscan (enough for nimbrel and
#            nimbrel-cli)
#   package  build, plus what scripts/package.sh uses (dpkg-dev, lintian, validators)
#   all      build, plus the tests and benchmarks (the default)
# apt's progress goes to a log file; only a one-line notice (and the log on failure) shows.
set -euo pipefail

build_packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libre2-dev)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth desktop-file-utils appstream
               libxml2-utils shared-mime-info dbus-daemon tshark bluez)
package_packages=(dpkg-dev fakeroot file lintian desktop-file-utils appstream librsvg2-bin)

# Hyperscan, the search's fastest engine, is built for x86-64 only; elsewhere RE2 serves.
[ "$(dpkg --print-architecture 2>/dev/null)" = amd64 ] && build_packages+=(libhyperscan-dev)
packages=("${build_packages[@]}")
case "${NIMBREL_DEPS:-all}" in
  build) ;;
  package) packages+=("${package_packages[@]}") ;;
  all) packages+=("${test_packages[@]}") ;;
  *) echo "NIMBREL_DEPS must be build, package or all" >&2; exit 2 ;;
esac
[ "${NIMBREL_FUZZ:-0}" = 1 ] && packages+=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
log="$(mktemp "${TMPDIR:-/tmp}/nimbrel-apt.XXXXXX.log")"
export DEBIAN_FRONTEND=noninteractive
if ! { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"; } \
    >"$log" 2>&1 </dev/null; then
  tail -n 30 "$log" >&2
  echo "Installing the packages failed; the whole log is $log" >&2
  exit 1
fi
rm -f "$log"
