#!/usr/bin/env bash
# The window on a long question sheet with two builds side by side, in one run: this tree's
# desktop_bench.cpp is compiled against each build's libraries (with that build's own headers
# and flags), so both measure the same thing, and each opens a workbook of ROWS rows (1,000,000)
# made in a child process. Prints each run's JSON (open and show, peak resident MiB of opening
# and of the whole run, scrolling frames), then the medians of RUNS runs (3) and the ratios.
# Usage: bench/window_bench.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [ROWS] [RUNS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
rows=${3:-1000000}
runs=${4:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# build_against BUILD_DIR OUT: desktop_bench.cpp of this tree, compiled and linked as BUILD_DIR
# builds its own.
build_against() {
  local build commands compile link
  build="$(cd "$1" && pwd)"
  commands=$(ninja -C "$build" -t commands bench/desktop_bench)
  compile=$(grep -- '-c [^ ]*bench/desktop_bench.cpp' <<< "$commands" | tail -1)
  link=$(tail -1 <<< "$commands")
  compile=$(sed -E "s# -o [^ ]+ -c [^ ]+# -o $work/bench.o -c $here/desktop_bench.cpp#" <<< "$compile")
  link=$(sed -E "s# bench/CMakeFiles/desktop_bench.dir/desktop_bench.cpp.o -o bench/desktop_bench # $work/bench.o -o $2 #" <<< "$link")
  (cd "$build" && eval "$compile" && eval "$link")
}
build_against "$1" "$work/before_bench"
build_against "$2" "$work/after_bench"

export QT_QPA_PLATFORM=offscreen
field() { python3 -c "import json,sys; d=json.loads(sys.argv[1]); print(eval(sys.argv[2], {}, d))" "$1" "$2"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for side in before after; do
  : > "$work/$side.jsonl"
  for _ in $(seq "$runs"); do
    "$work/${side}_bench" "$rows" 2> /dev/null | tail -1 | tee -a "$work/$side.jsonl"
  done
done
printf '%-34s %10s %10s %8s\n' "median of $runs, $rows rows" before after "b/a"
for key in open_and_show_ms open_peak_mib peak_mib "scroll_page_ms['median']" \
  "scroll_page_ms['p95']" "vertical_scroll_page_ms['median']"; do
  b=$(while read -r l; do field "$l" "$key"; done < "$work/before.jsonl" | median)
  a=$(while read -r l; do field "$l" "$key"; done < "$work/after.jsonl" | median)
  printf '%-34s %10s %10s %8s\n' "$key" "$b" "$a" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }')"
done
