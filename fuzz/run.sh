#!/usr/bin/env bash
# Runs fuzz targets, one after the other, each for a number of seconds over its seed corpus and
# the corpus kept from earlier runs, and prints one line of figures per target.
#
#   fuzz/run.sh <fuzz build dir> <seconds per target> <findings dir> [target ...]
#
# Without target names every target of <fuzz build dir>/fuzz runs. A finding (crash, sanitizer
# report, broken property, leak, an input slower than 10 s) stops its target and leaves the
# reproducing input as <findings dir>/<target>-crash-<hash> (or -leak-, -timeout-, -oom-); the
# script then goes on with the other targets and exits with status 1 at the end. Replay one with
#   <fuzz build dir>/fuzz/<target> <findings dir>/<target>-crash-<hash>
set -uo pipefail
build=$1
seconds=$2
findings=$3
shift 3
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in "$build"/fuzz/*_fuzz; do targets+=("$(basename "$t")"); done
fi
mkdir -p "$findings" "$build/fuzz/logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$t"
  seeds="$build/fuzz/seeds/$t"
  log="$build/fuzz/logs/$t.log"
  mkdir -p "$corpus" "$seeds"
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$findings/$t-" "$corpus" "$seeds" > "$log" 2>&1
  status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  printf '%-22s %4ss  executions: %-10s %s  corpus: %s inputs\n' "$t" "$seconds" \
    "${execs:-?}" "${coverage:-cov: ?}" "$(ls "$corpus" | wc -l)"
  if [ $status -ne 0 ]; then
    failed+=("$t")
    echo "FINDING in $t (exit status $status); log: $log" >&2
    grep -E 'property violated|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|SUMMARY' \
      "$log" | head -5 >&2
    ls "$findings/$t-"* 2>/dev/null >&2
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}; reproducers in $findings" >&2
  exit 1
fi
