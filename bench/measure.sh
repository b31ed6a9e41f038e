# Timing helpers of the benchmark scripts (sourced, not run).
#   median   the median of the numbers on stdin, one a line
#   measure  runs a command once and prints "wall cpu maxrss_kb": wall clock to the
#            microsecond, user + system CPU seconds, peak resident memory
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
measure() {
  local t0 t1 usage
  t0=$EPOCHREALTIME
  usage=$(/usr/bin/time -f "%U %S %M" "$@" 2>&1 >/dev/null | tail -1)
  t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" -v u="$usage" 'BEGIN { split(u, f, " "); printf "%.6f %.3f %s\n", b - a, f[1] + f[2], f[3] }'
}
