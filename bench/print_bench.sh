#!/usr/bin/env bash
# Times printing a 10-page, 400-question test to PDF (`tessarin print`, the whole command) against
# LibreOffice converting the same saved workbook to PDF, in one run on this machine, and counts
# the pages each wrote. Usage: bench/print_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
case $build in /*) ;; *) build="$PWD/$build" ;; esac  # relative to the repository
tessarin="$build/app/cli/tessarin"
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME/Documents"

# A question workbook of 400 rows from the sample's questions, typed through the script runner.
{
  echo '{"new": true}'
  echo '{"rename": ["Sheet1", "ミラトス"]}'
  awk -F'\t' 'BEGIN { n = 0 } NR > 1 && $5 != "" { q[n] = $5; a[n++] = $6 } END {
    for (i = 0; i < 400; i++) {
      printf "{\"type\": {\"cell\": \"D%d\", \"value\": \"%s\"}}\n", i + 1, q[i % n]
      printf "{\"type\": {\"cell\": \"E%d\", \"value\": \"%s\"}}\n", i + 1, a[i % n]
    }
  }' data/sample_questions.tsv
  echo "{\"save\": \"$work/questions.xlsx\"}"
} > "$work/make.jsonl"
"$tessarin" script "$work/make.jsonl" > /dev/null
"$tessarin" create "$work/questions.xlsx" --code 1234 --count 400 -o "$work/test.xlsx" > /dev/null

time_ms() {  # runs a command RUNS times; prints "best mean" in milliseconds
  local best=999999 total=0 start ms
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    total=$((total + ms))
    (( ms < best )) && best=$ms
  done
  echo "$best $((total / runs))"
}
pages() { pdfinfo "$1" | awk '/^Pages:/ { print $2 }'; }

read -r ours_best ours_mean < <(time_ms "$tessarin" print "$work/test.xlsx" -o "$work/ours.pdf")
echo "tessarin print: 400 questions, $(pages "$work/ours.pdf") pages: best ${ours_best} ms, mean ${ours_mean} ms over ${runs} runs"

if command -v soffice > /dev/null; then
  lo=(soffice -env:UserInstallation="file://$work/lo-profile" --headless --convert-to pdf --outdir "$work/lo" "$work/test.xlsx")
  "${lo[@]}" > /dev/null 2>&1 || true  # first start makes the profile; not timed
  read -r lo_best lo_mean < <(time_ms "${lo[@]}")
  echo "LibreOffice --convert-to pdf: $(pages "$work/lo/test.pdf") pages: best ${lo_best} ms, mean ${lo_mean} ms over ${runs} runs"
  echo "speed-up (best against best): $(awk -v a="$lo_best" -v b="$ours_best" 'BEGIN { printf "%.1f", a / (b > 0 ? b : 1) }')x"
else
  echo "LibreOffice is not installed (scripts/install-deps.sh installs libreoffice-calc-nogui)"
fi
