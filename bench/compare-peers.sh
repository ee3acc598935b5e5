#!/usr/bin/env bash
# Measures tessary-code against a general-purpose highlighter, Pygments, on the snippet of a
# generated effect of 1000 cells with one sub-cell each, and prints the ratios:
#   - the whole `tessary-code build EFFECT --format html` process against
#     `pygmentize -l swift -f html` on the same snippet text (goal: at least 20 times faster);
#   - BM_Highlight/1000's bytes per second against Pygments' in-process
#     highlight(code, SwiftLexer(), HtmlFormatter()) (goal: at least 50 times);
#   - the peak resident size of the html build against the snippet's size (goal: at most 25).
# Wall times are the best of several runs. Run `make bench` first (it builds in build-bench), or
# set BUILD_DIR to another build with TESSARY_BUILD_BENCH on.
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-bench}
CELLS=${CELLS:-1000}
OURS_RUNS=${OURS_RUNS:-7}
PEER_RUNS=${PEER_RUNS:-3}

program=$BUILD_DIR/tessary-code
generator=$BUILD_DIR/bench/tessary-generate-effect
bench=$BUILD_DIR/bench/tessary-bench
for binary in "$program" "$generator" "$bench"; do
  if [[ ! -x $binary ]]; then
    echo "compare-peers: $binary is missing; run 'make bench' first" >&2
    exit 2
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
effect=$work/effect.json
snippet=$work/snippet.swift
"$generator" "$CELLS" "$effect"
"$program" build "$effect" --format plain -o "$snippet"
snippet_bytes=$(stat -c %s "$snippet")
echo "Effect of $CELLS cells with one sub-cell each: snippet of $snippet_bytes bytes"

has_html=yes
if ! "$program" build "$effect" --format html -o "$work/ours.html" 2>"$work/html.err"; then
  has_html=no
  echo "compare-peers: '$program build --format html' failed, so goals 3 and 5 are not" \
    "measured: $(head -n 1 "$work/html.err")"
fi

has_pygments=yes
if ! command -v pygmentize >/dev/null || ! python3 -c "import pygments" 2>/dev/null; then
  has_pygments=no
  echo "compare-peers: Pygments is not installed (pygmentize, python3 -c 'import pygments')," \
    "so the comparisons with it are skipped"
fi

# The best wall time in seconds of running a command several times.
best_time() {
  local runs=$1
  shift
  python3 - "$runs" "$@" <<'PYTHON'
import subprocess
import sys
import time

runs, command = int(sys.argv[1]), sys.argv[2:]
best = float("inf")
for _ in range(runs):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    best = min(best, time.perf_counter() - start)
print(f"{best:.6f}")
PYTHON
}

ratio() { python3 -c "print(f'{$1 / $2:.1f}')"; }
verdict() { python3 -c "print('ok' if $1 else 'MISSED')"; }

if [[ $has_html == yes && $has_pygments == yes ]]; then
  ours=$(best_time "$OURS_RUNS" "$program" build "$effect" --format html -o "$work/ours.html")
  peer=$(best_time "$PEER_RUNS" pygmentize -l swift -f html -o "$work/peer.html" "$snippet")
  times=$(ratio "$peer" "$ours")
  echo
  echo "Whole process, best of several runs:"
  printf '  %-52s %9.3f s\n' "tessary-code build EFFECT --format html" "$ours"
  printf '  %-52s %9.3f s\n' "pygmentize -l swift -f html SNIPPET" "$peer"
  echo "  tessary-code is $times times faster (goal: at least 20)" \
    "$(verdict "$peer / $ours >= 20")"
fi

if [[ $has_pygments == yes ]]; then
  ours_rate=$("$bench" --benchmark_filter='^BM_Highlight/1000$' --benchmark_repetitions=3 \
    --benchmark_format=json 2>/dev/null | python3 -c '
import json, sys
runs = json.load(sys.stdin)["benchmarks"]
print(next(run for run in runs if run.get("aggregate_name") == "median")["bytes_per_second"])')
  peer_rate=$(python3 - "$snippet" "$PEER_RUNS" <<'PYTHON'
import sys
import time

from pygments import highlight
from pygments.formatters import HtmlFormatter
from pygments.lexers import SwiftLexer

with open(sys.argv[1], encoding="utf-8") as source:
    code = source.read()
best = float("inf")
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    highlight(code, SwiftLexer(), HtmlFormatter())
    best = min(best, time.perf_counter() - start)
print(len(code.encode("utf-8")) / best)
PYTHON
)
  echo
  echo "Colouring in process, bytes of the snippet per second:"
  printf '  %-52s %9.1f MB/s\n' "BM_Highlight/1000" "$(python3 -c "print($ours_rate / 1e6)")"
  printf '  %-52s %9.2f MB/s\n' "Pygments highlight(code, SwiftLexer(), HtmlFormatter())" \
    "$(python3 -c "print($peer_rate / 1e6)")"
  echo "  BM_Highlight is $(ratio "$ours_rate" "$peer_rate") times faster (goal: at least 50)" \
    "$(verdict "$ours_rate / $peer_rate >= 50")"
fi

if [[ $has_html == yes ]]; then
  if [[ ! -x /usr/bin/time ]]; then
    echo "compare-peers: /usr/bin/time is missing; installing the Debian package 'time'" >&2
    apt-get install -y time >/dev/null 2>&1 || true
  fi
  echo
  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -v "$program" build "$effect" --format html -o "$work/ours.html" \
      2>"$work/time.txt"
    peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    peak_bytes=$((peak_kb * 1024))
    echo "Peak resident size of tessary-code build EFFECT --format html:"
    echo "  $((peak_bytes / 1048576)) MiB, $(ratio "$peak_bytes" "$snippet_bytes") times the" \
      "snippet (goal: at most 25) $(verdict "$peak_bytes / $snippet_bytes <= 25")"
  else
    echo "compare-peers: /usr/bin/time could not be installed, so the peak resident size is" \
      "not measured"
  fi
fi
