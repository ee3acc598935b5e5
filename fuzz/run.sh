#!/usr/bin/env bash
# Runs fuzz targets for a bounded time each: run.sh BUILD_DIR SECONDS TARGET...
# Each starts from its seed corpus fuzz/corpus/<target> (and the inputs earlier runs found, kept
# in BUILD_DIR/corpus/<target>); a crash is written to BUILD_DIR/crashes and fails the run.
set -uo pipefail
build_dir=$1 seconds=$2
shift 2
source_dir="$(cd "$(dirname "$0")" && pwd)"
crashes="$build_dir/crashes"
[ -x /usr/bin/llvm-symbolizer-16 ] && export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-16
passed=0 failed=0
for target in "$@"; do
  found="$build_dir/corpus/$target"
  mkdir -p "$found" "$crashes"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$crashes/$target-")
  [ -f "$source_dir/$target.dict" ] && options+=(-dict="$source_dir/$target.dict")
  echo "== $target: $seconds s"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build_dir/fuzz/$target" "${options[@]}" "$found" "$source_dir/corpus/$target" \
    >"$build_dir/$target.log" 2>&1; then
    passed=$((passed + 1))
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$build_dir/$target.log"
  else
    failed=$((failed + 1))
    tail -n 60 "$build_dir/$target.log"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
