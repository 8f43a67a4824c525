#!/usr/bin/env bash
# Times a class of LEARNERS (40) learners, each with the sample's 240 questions: `tessarin class
# create` (a 40-question test each, saved in place, all printed to one PDF), `class mark` (three
# wrong answers each) and `class report` with its PDF, as whole commands, one run each on fresh
# copies. Usage: bench/class_bench.sh [BUILD_DIR] [LEARNERS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
learners=${2:-40}
tessarin="$PWD/$build/app/cli/tessarin"
sample="$PWD/$build/data/ミラトス【サンプルデータ】.xlsx"
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME/Documents" "$work/class"
for i in $(seq -w 1 "$learners"); do cp "$sample" "$work/class/learner$i.xlsx"; done
for i in $(seq -w 1 "$learners"); do echo "learner$i,1 5 9"; done > "$work/marks.csv"

# Runs a command once; prints its wall time and its CPU time (user + system), which a busy
# machine does not stretch.
time_ms() {
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" > /dev/null 2> "$work/err" ||
    { cat "$work/err" >&2; return 1; }
  awk '{ printf "wall %d ms, CPU %d ms", $1 * 1000, ($2 + $3) * 1000 }' "$work/time"
}
pages() { pdfinfo "$1" | awk '/^Pages:/ { print $2 }'; }

create=$(time_ms "$tessarin" class create "$work/class" -o "$work/class.pdf")
echo "class create: $learners learners x 240 questions, $(pages "$work/class.pdf") pages: ${create}"
mark=$(time_ms "$tessarin" class mark "$work/class" "$work/marks.csv")
echo "class mark: $learners lines of 3 wrong answers: ${mark}"
report=$(time_ms "$tessarin" class report "$work/class" --pdf "$work/report.pdf")
echo "class report: $learners learners with the PDF: ${report}"
