#!/usr/bin/env bash
# Cross-builds the core libraries, nimbrel-cli.exe and the core test programs as 64-bit
# Windows executables with MinGW-w64, into build-windows/ (or $NIMBREL_WINDOWS_BUILD_DIR).
# -O2 as the Linux build uses (GCC 12 warns falsely about std::string at -O3).
# Installs what it misses with apt: the cross compiler, Wine (to run the tests) and the
# GoogleTest sources. Extra arguments go to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NIMBREL_WINDOWS_BUILD_DIR:-$root/build-windows}"

packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 cmake ninja-build libgtest-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}" >&2
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  log="$(mktemp "${TMPDIR:-/tmp}/nimbrel-apt.XXXXXX.log")"
  export DEBIAN_FRONTEND=noninteractive
  # apt may be busy with another build on the same machine: wait for its lock.
  if ! { $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq &&
         $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
           "${missing[@]}"; } >"$log" 2>&1 </dev/null; then
    tail -n 30 "$log" >&2
    echo "Installing the packages failed; the whole log is $log" >&2
    exit 1
  fi
  rm -f "$log"
fi

# CI builds treat compiler warnings as errors.
werror=()
[ "${CI:-}" = true ] && werror=(-DNIMBREL_WERROR=ON)
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DNIMBREL_BUILD_BENCH=OFF "${werror[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
echo "Windows programs: $build/bin"
