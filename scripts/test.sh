#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NIMBREL_BUILD_DIR:-$root/build}"
# CI builds treat compiler warnings as errors.
werror=()
[ "${CI:-}" = true ] && werror=(-DNIMBREL_WERROR=ON)
NIMBREL_BUILD_DIR="$build" "$root/scripts/build.sh" "${werror[@]}" "$@"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
