#!/usr/bin/env bash
# Reading and making against their floors, timed as whole commands in one run: opening a book of
# 100,000 x 20 = 2,000,000 cells (made by ooxml_bench) against inflate_floor on the same file,
# and `tessarin create` from 100,000 questions (made by make_book.py), open to saved, against
# inflate_floor reading those questions. With BEFORE_BUILD the same commands of that build run
# beside, so the ratios are before and after of one run. Each figure is the median of RUNS runs:
# CPU seconds (user + system), wall seconds and peak resident MiB, from /usr/bin/time.
# Usage: bench/floors.sh BUILD_DIR [BEFORE_BUILD_DIR] [RUNS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
after="$build/app/cli/tessarin"
before=""
[ -n "${2:-}" ] && before="$(cd "$2" && pwd)/app/cli/tessarin"
runs=${3:-7}
floor="$build/bench/inflate_floor"
for tool in "$after" "$floor" "$build/bench/ooxml_bench" ${before:+"$before"}; do
  [ -x "$tool" ] || { echo "floors.sh: $tool is missing (build it first)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME/Documents"
cd "$work"

"$build/bench/ooxml_bench" --make cells2m.xlsx 100000
python3 "$here/make_book.py" q100k.xlsx 100000
echo '{"open": "cells2m.xlsx"}' > open2m.jsonl

# measure CMD...: prints "cpu wall MiB", each the median over the runs ("failed" when the
# command failed), from the child's own resource usage (microseconds, where /usr/bin/time
# rounds to 10 ms). The output of `create` is removed before each run: it refuses to overwrite
# a book holding a record.
cat > measure.py <<'PY'
import os, resource, statistics, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
samples = []
for _ in range(runs):
    if os.path.exists("made.xlsx"):
        os.remove("made.xlsx")
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        out = os.open(os.devnull, os.O_WRONLY)
        os.dup2(out, 1)
        os.dup2(os.open("err.txt", os.O_WRONLY | os.O_CREAT | os.O_TRUNC), 2)
        os.execv(cmd[0], cmd)
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        print("failed (" + open("err.txt").read()[-200:].replace("\n", " ") + ")")
        sys.exit(0)
    samples.append((usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss / 1024))
print(" ".join("%.3f" % statistics.median(s[k] for s in samples) for k in range(3)))
PY
measure() { python3 measure.py "$runs" "$@"; }
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (a !~ /^[0-9.]+$/ || b !~ /^[0-9.]+$/ || b == 0) print "-"; else printf "%.2fx", a / b }'
}

printf 'median of %d runs; cpu s / wall s / peak MiB\n' "$runs"
row() {  # row LABEL CMD... ; sets $cpu $wall $mib of the row
  local label=$1
  shift
  read -r cpu wall mib <<< "$(measure "$@")"
  printf '  %-46s %8s %8s %8s\n' "$label" "$cpu" "$wall" "$mib"
}
against() {  # against LABEL CPU WALL FLOOR_CPU FLOOR_WALL
  printf '  %-46s cpu %s, wall %s\n' "$1" "$(ratio "$2" "$4")" "$(ratio "$3" "$5")"
}

echo "load: 100,000 x 20 = 2,000,000 cells (half shared strings, half numbers)"
row "floor: inflate + memchr, every part" "$floor" cells2m.xlsx
f_cpu=$cpu f_wall=$wall
if [ -n "$before" ]; then
  row "before: tessarin script {open}" "$before" script open2m.jsonl
  against "before / floor" "$cpu" "$wall" "$f_cpu" "$f_wall"
fi
row "tessarin script {open}" "$after" script open2m.jsonl
against "open / floor (target 1.5x)" "$cpu" "$wall" "$f_cpu" "$f_wall"

echo "create --count 40 from 100,000 questions, open to saved"
row "floor: inflate + memchr, every part" "$floor" q100k.xlsx
f_cpu=$cpu f_wall=$wall
if [ -n "$before" ]; then
  row "before: tessarin create" "$before" create q100k.xlsx --count 40 -o made.xlsx
  against "before / floor" "$cpu" "$wall" "$f_cpu" "$f_wall"
  "$before" create q100k.xlsx --count 40 -o made.xlsx > /dev/null
  size_before=$(stat -c %s made.xlsx)
fi
row "tessarin create" "$after" create q100k.xlsx --count 40 -o made.xlsx
against "create / floor (target 4.5x)" "$cpu" "$wall" "$f_cpu" "$f_wall"
rm -f made.xlsx
"$after" create q100k.xlsx --count 40 -o made.xlsx > /dev/null
printf '  %-46s %s bytes' "saved file" "$(stat -c %s made.xlsx)"
[ -n "${size_before:-}" ] && printf ' (before %s, %s)' "$size_before" "$(ratio "$(stat -c %s made.xlsx)" "$size_before")"
echo
