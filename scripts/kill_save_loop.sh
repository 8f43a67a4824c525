#!/bin/sh
# Kills `tessarin script` at random moments while it saves over a big workbook, COUNT times, and
# checks after each kill that the workbook still opens with one of the two contents it can hold
# (the old or the new), and at the end that the next save clears the temporary files the
# killed saves left behind. Then the same for the other files we write: `print` to a PDF and to
# page images, and `create`, which rewrites the settings file (COUNT/4 kills each): every file
# left is whole, and the next run clears the temporaries.
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
[ "$after" -eq 0 ] || exit 1

# Kills `$@` after a random part of `span_ms`, COUNT/4 times, running `check` after each kill.
kill_loop() {
  check=$1 span=$2
  shift 2
  i=1
  while [ "$i" -le $((COUNT / 4)) ]; do
    "$@" > /dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v seed="$i" -v span="$span" 'BEGIN { srand(seed); printf "%.3f", rand() * span / 1000 }')"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    "$check" || { echo "run $i of: $*"; exit 1; }
    i=$((i + 1))
  done
}
timed_ms() {
  start=$(date +%s%N)
  "$@" > /dev/null 2>&1 || true
  echo $(( ($(date +%s%N) - start) / 1000000 ))
}

PRINTED=$WORK/print.xlsx
"$BUILD/bench/ooxml_bench" --make "$PRINTED" 3000 > /dev/null
PDF=$WORK/out.pdf
pdf_whole() { [ ! -e "$PDF" ] || pdfinfo "$PDF" > /dev/null 2>&1 || { echo "the PDF is damaged"; return 1; }; }
span=$(timed_ms "$TESSARIN" print "$PRINTED" --sheet Sheet1 -o "$PDF")
kill_loop pdf_whole "$span" "$TESSARIN" print "$PRINTED" --sheet Sheet1 -o "$PDF"
echo "print to PDF killed $((COUNT / 4)) times over ${span} ms: the PDF was whole every time"

PNG=$WORK/page.png
pngs_whole() {
  for f in "$WORK"/page*.png; do
    [ -e "$f" ] || continue
    tail -c 8 "$f" | grep -q IEND || { echo "$f is damaged"; return 1; }
  done
}
span=$(timed_ms "$TESSARIN" print "$PRINTED" --sheet Sheet1 -o "$PNG" --dpi 20)
kill_loop pngs_whole "$span" "$TESSARIN" print "$PRINTED" --sheet Sheet1 -o "$PNG" --dpi 20
echo "print to page images killed $((COUNT / 4)) times over ${span} ms: every image was whole"

export HOME="$WORK/home" XDG_DOCUMENTS_DIR="$WORK/home"
mkdir -p "$HOME"
CSV=$WORK/questions.csv
awk 'BEGIN { for (i = 1; i <= 3000; i++) printf ",,,問題%dの<かん>字,漢%d\n", i, i }' > "$CSV"
INI="$HOME/ミラトス保存データ/ミラトス_設定値.ini"
settings_whole() {
  [ ! -e "$INI" ] || ! grep -qv ':' "$INI" || { echo "the settings file is damaged"; return 1; }
}
span=$(timed_ms "$TESSARIN" create "$CSV" --count 40 -o "$WORK/made.xlsx")
kill_loop settings_whole "$span" "$TESSARIN" create "$CSV" --count 40 -o "$WORK/made.xlsx"
echo "create killed $((COUNT / 4)) times over ${span} ms: the settings file was whole every time"

"$TESSARIN" print "$PRINTED" --sheet Sheet1 -o "$PDF" > /dev/null
"$TESSARIN" create "$CSV" --count 40 -o "$WORK/made.xlsx" > /dev/null
left=$(find "$WORK" "$HOME/ミラトス保存データ" -maxdepth 1 -name '.~tsr-*' | wc -l)
echo "temporary files left after the next print and create: $left"
[ "$left" -eq 0 ]
