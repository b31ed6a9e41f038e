#!/usr/bin/env bash
# Sanitizer runs of the test suite:
#   address  builds everything with AddressSanitizer + UndefinedBehaviorSanitizer into
#            build-asan/ and runs every test (ctest);
#   thread   builds the tests of the threaded modules with ThreadSanitizer into
#            build-tsan/ (only those targets) and runs them;
#   fuzz     builds the libFuzzer targets with clang into build-fuzz/ and replays their
#            seed corpora (needs clang; see tests/fuzz/README.md).
#
#   scripts/sanitize.sh [address] [thread] [fuzz]
#
# Without arguments: address and thread, plus fuzz when NIMBREL_FUZZ=1.
# Environment:
#   NIMBREL_SANITIZE_ROOT  folder that holds the build folders (default: the repository)
#   NIMBREL_JOBS           parallel jobs (default: nproc)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="${NIMBREL_SANITIZE_ROOT:-$root}"
jobs="${NIMBREL_JOBS:-$(nproc)}"
modes=("$@")
if [ ${#modes[@]} -eq 0 ]; then
  modes=(address thread)
  [ "${NIMBREL_FUZZ:-0}" = 1 ] && modes+=(fuzz)
fi
for m in "${modes[@]}"; do
  case "$m" in address|thread|fuzz) ;; *) echo "unknown mode: $m (address, thread or fuzz)" >&2; exit 2 ;; esac
done
[[ " ${modes[*]} " == *" fuzz "* ]] && export NIMBREL_FUZZ=1
"$root/scripts/install-deps.sh"

export NIMBREL_TRACE=0 QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The largest history: a suppressed report (a queued call handed over through Qt's event
# queue) needs the stacks of both accesses, and a worker that goes on working after it
# posted the call may otherwise have written over the stack of its side.
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:history_size=7}"

# Unoptimised code is slow under the sanitizers and -O2 builds slowly: -O1 for both.
common=(-G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" -DNIMBREL_BUILD_BENCH=OFF)
timings=()

run_address() {
  local build="$out/build-asan" start=$SECONDS
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer: $build"
  # Qt's and the graphics stack's own allocations that live until exit are not ours.
  mkdir -p "$build"
  printf 'leak:libQt6\nleak:libfontconfig\nleak:libdbus\nleak:libglib\n' >"$build/lsan.supp"
  export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$build/lsan.supp:print_suppressions=0}"
  cmake -S "$root" -B "$build" "${common[@]}" -DNIMBREL_SANITIZE=address >/dev/null || return 1
  cmake --build "$build" -j "$jobs" || return 1
  local rc=0
  ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 900 || rc=1
  timings+=("address: $((SECONDS - start)) s")
  return $rc
}

# ThreadSanitizer cannot run under some kernels' address-space randomisation ("unexpected
# memory mapping"); the build runs test programs too (test discovery), so both run with
# randomisation off when a probe program shows the problem.
tsan_wrap=()
probe_thread_sanitizer() {
  local build="$1" cxx
  cxx="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")"
  printf '#include <thread>\nint v;\nint main() { std::thread t([] { v = 1; }); t.join(); return v - 1; }\n' \
    >"$build/tsan_probe.cpp"
  "$cxx" -fsanitize=thread -pthread "$build/tsan_probe.cpp" -o "$build/tsan_probe" || return 1
  if "$build/tsan_probe" >"$build/tsan_probe.log" 2>&1; then return; fi
  if grep -q "unexpected memory mapping" "$build/tsan_probe.log" &&
     setarch "$(uname -m)" -R "$build/tsan_probe" >/dev/null 2>&1; then
    echo "ThreadSanitizer needs address-space randomisation off here: using setarch -R"
    tsan_wrap=(setarch "$(uname -m)" -R)
    return
  fi
  cat "$build/tsan_probe.log" >&2
  echo "ThreadSanitizer does not run on this machine (try: sysctl vm.mmap_rnd_bits=28)" >&2
  return 1
}

run_thread() {
  local build="$out/build-tsan" start=$SECONDS
  echo "== ThreadSanitizer: $build"
  # Only the targets below are built, so the GUI is not.
  cmake -S "$root" -B "$build" "${common[@]}" -DNIMBREL_SANITIZE=thread >/dev/null || return 1
  probe_thread_sanitizer "$build" || return 1
  # The modules with threads of their own (capture ring and print thread, capture routes,
  # platform threads and devices, replay, the simulator's driver side, the command line's
  # capture, the log view's cross-thread queue).
  local available targets=()
  available="$(ninja -C "$build" -t targets all)"
  for t in test_pipeline test_capture test_platform test_files test_sim test_cli test_logview test_gui; do
    grep -q "^$t:" <<<"$available" && targets+=("$t")
  done
  "${tsan_wrap[@]}" cmake --build "$build" -j "$jobs" --target "${targets[@]}" || return 1
  local failed=()
  for t in "${targets[@]}"; do
    echo "-- $t"
    local options="$TSAN_OPTIONS"
    # Qt is not built with ThreadSanitizer; see the suppressions file.
    [ "$t" = test_gui ] || [ "$t" = test_logview ] && options="$options:suppressions=$root/tests/gui/tsan.supp"
    TSAN_OPTIONS="$options" "${tsan_wrap[@]}" "$build/bin/$t" --gtest_brief=1 || failed+=("$t")
  done
  timings+=("thread: $((SECONDS - start)) s")
  if [ ${#failed[@]} -gt 0 ]; then
    echo "ThreadSanitizer runs failed: ${failed[*]}" >&2
    return 1
  fi
}

run_fuzz() {
  local build="$out/build-fuzz" start=$SECONDS
  echo "== libFuzzer targets, seed corpora: $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DNIMBREL_BUILD_FUZZ=ON \
    -DNIMBREL_BUILD_GUI=OFF -DNIMBREL_BUILD_TESTS=OFF -DNIMBREL_BUILD_BENCH=OFF >/dev/null || return 1
  cmake --build "$build" -j "$jobs" --target fuzz_framer_ring fuzz_definitions_printf fuzz_replay_formatter \
    fuzz_decoders fuzz_text || return 1
  local rc=0
  ctest --test-dir "$build/tests/fuzz" --output-on-failure -j "$jobs" || rc=1
  timings+=("fuzz: $((SECONDS - start)) s")
  return $rc
}

status=0
for m in "${modes[@]}"; do
  "run_$m" || status=1
done
echo "== sanitizer runs: ${timings[*]:-none}"
exit $status
