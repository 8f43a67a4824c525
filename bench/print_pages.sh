#!/usr/bin/env bash
# Printing tests to PDF with two builds side by side, in one run: `tessarin print` of tests of 10,
# 100 and 1,000 pages (40 questions a page), all three made from the same 100,000-question book,
# so opening costs the same in each and the difference between two is the pages alone. Each
# figure is the median of RUNS runs (5) of the whole command: CPU seconds (user + system), wall
# seconds and peak resident MiB, from /usr/bin/time; then milliseconds a page (CPU, 100 pages
# against 10 and 1,000 against 100) and the before/after ratios.
# Usage: bench/print_pages.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [RUNS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=bench/measure.sh
. "$here/measure.sh"
two_builds "$@"

python3 "$here/make_book.py" q100k.xlsx 100000
for pages in 10 100 1000; do
  "$after" create q100k.xlsx --count $((pages * 40)) --no-source -o "t$pages.xlsx" > /dev/null
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
per_page() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { printf "%.2f", (a - b) / n * 1000 }'; }

printf '%-28s %24s %24s %13s\n' "median of $runs: cpu/wall s, MiB" before after "b/a cpu wall"
declare -A cpu wall
for pages in 10 100 1000; do
  read -r bc bw bm <<< "$(measure "$runs" "$before" print "t$pages.xlsx" -o b.pdf)"
  read -r ac aw am <<< "$(measure "$runs" "$after" print "t$pages.xlsx" -o a.pdf)"
  [ "$bc" != failed ] && [ "$ac" != failed ] || { echo "print of $pages pages failed" >&2; exit 1; }
  cpu[b$pages]=$bc cpu[a$pages]=$ac wall[b$pages]=$bw wall[a$pages]=$aw
  printf '%-28s %24s %24s %6s %6s\n' "print $pages test pages" "$bc / $bw / $bm" \
    "$ac / $aw / $am" "$(ratio "$bc" "$ac")" "$(ratio "$bw" "$aw")"
done
echo "pages written: $(pdfinfo b.pdf | awk '/^Pages:/ { print $2 }') before," \
  "$(pdfinfo a.pdf | awk '/^Pages:/ { print $2 }') after"
for span in "100 10 90" "1000 100 900"; do
  read -r big small n <<< "$span"
  b=$(per_page "${cpu[b$big]}" "${cpu[b$small]}" "$n")
  a=$(per_page "${cpu[a$big]}" "${cpu[a$small]}" "$n")
  echo "ms a test page (cpu, $big pages against $small): before $b, after $a ($(ratio "$b" "$a")x)"
done
echo "1,000 pages, whole command (wall): before ${wall[b1000]} s, after ${wall[a1000]} s"
