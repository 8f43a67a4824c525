#!/bin/sh
# Kills `tessarin script` at random moments while it saves over a big workbook, COUNT times, and
# checks after each kill that the workbook still opens with one of the two contents it can hold
# (the old or the new), and at the end that the next save clears the temporary files the
# killed saves left behind.
#   scripts/kill_save_loop.sh BUILD_DIR [COUNT] [ROWS]
# BUILD_DIR must hold app/cli/tessarin and bench/ooxml_bench (TESSARIN_BUILD_BENCH=ON).
set -eu
BUILD=$(cd "$1" && pwd)
COUNT=${2:-200}
ROWS=${3:-100000}
TESSARIN=$BUILD/app/cli/tessarin
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kill-save.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
BOOK=$WORK/book.xlsx

"$BUILD/bench/ooxml_bench" --make "$BOOK" "$ROWS"
# Each run writes its own mark into A1 and saves over the book.
save_script() {
  printf '{"open": "%s"}\n{"type": {"cell": "A1", "value": "%s"}}\n{"save": true}\n' "$BOOK" "$1" > "$WORK/save.jsonl"
}
check_script() {
  printf '{"open": "%s"}\n{"dump": {"sheet": "Sheet1", "range": "A1"}}\n' "$1" > "$WORK/check.jsonl"
}

# How long an uninterrupted save takes, to spread the kills over it.
save_script timing
start=$(date +%s%N)
"$TESSARIN" script "$WORK/save.jsonl" > /dev/null
span_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "one open and save of $ROWS rows: ${span_ms} ms"

killed=0
last=timing
i=1
while [ "$i" -le "$COUNT" ]; do
  save_script "run$i"
  "$TESSARIN" script "$WORK/save.jsonl" > /dev/null 2>&1 &
  pid=$!
  delay=$(awk -v seed="$i" -v span="$span_ms" 'BEGIN { srand(seed); printf "%.3f", rand() * span / 1000 }')
  sleep "$delay"
  if kill -9 "$pid" 2>/dev/null; then killed=$((killed + 1)); fi
  wait "$pid" 2>/dev/null || true
  check_script "$BOOK"
  out=$("$TESSARIN" script "$WORK/check.jsonl" 2>&1) || { echo "run $i: the checker failed: $out"; exit 1; }
  case $out in
    *'"error"'*) echo "run $i: the workbook no longer opens: $out"; exit 1 ;;
  esac
  case $out in
    *"\"run$i\""*) last=run$i ;;
    *"\"$last\""*) ;;
    *) echo "run $i: A1 holds neither the old nor the new mark: $out"; exit 1 ;;
  esac
  i=$((i + 1))
done

left=$(find "$WORK" -maxdepth 1 -name '.~tsr-*' | wc -l)
save_script final
"$TESSARIN" script "$WORK/save.jsonl" > /dev/null
after=$(find "$WORK" -maxdepth 1 -name '.~tsr-*' | wc -l)
echo "runs: $COUNT, killed during the run: $killed, workbook readable every time"
echo "temporary files left by killed saves: $left, after the next save: $after"
[ "$after" -eq 0 ]
