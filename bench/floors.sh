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

# measure CMD [:: CMD ...]: one line "cpu wall MiB" per command, each the median over the runs
# ("failed" when the command failed), from the child's own resource usage (microseconds, where
# /usr/bin/time rounds to 10 ms). The commands take turns run by run, so that what else the
# machine does weighs on each alike. The output of `create` is removed before each run: it
# refuses to overwrite a book holding a record.
cat > measure.py <<'PY'
import os, statistics, sys, time
runs, cmds = int(sys.argv[1]), [[]]
for arg in sys.argv[2:]:
    if arg == "::":
        cmds.append([])
    else:
        cmds[-1].append(arg)
samples, failed = [[] for _ in cmds], [None] * len(cmds)
for _ in range(runs):
    for i, cmd in enumerate(cmds):
        if failed[i]:
            continue
        if os.path.exists("made.xlsx"):
            os.remove("made.xlsx")
        start = time.perf_counter()
        pid = os.fork()
        if pid == 0:
            os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
            os.dup2(os.open("err.txt", os.O_WRONLY | os.O_CREAT | os.O_TRUNC), 2)
            os.execv(cmd[0], cmd)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
        if status != 0:
            failed[i] = "failed (" + open("err.txt").read()[-200:].replace("\n", " ") + ")"
            continue
        samples[i].append((usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss / 1024))
for i in range(len(cmds)):
    print(failed[i] or " ".join("%.3f" % statistics.median(s[k] for s in samples[i])
                                for k in range(3)))
PY
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (a !~ /^[0-9.]+$/ || b !~ /^[0-9.]+$/ || b == 0) print "-"; else printf "%.2fx", a / b }'
}
line() { printf '  %-46s %8s %8s %8s\n' "$1" $2; }
against() {  # against LABEL "CPU WALL MIB" "FLOOR_CPU FLOOR_WALL MIB"
  local a=($2) f=($3)
  printf '  %-46s cpu %s, wall %s\n' "$1" "$(ratio "${a[0]}" "${f[0]}")" "$(ratio "${a[1]}" "${f[1]}")"
}
# compare TITLE FLOOR_ARGS -- TESSARIN_ARGS: the floor, the build before (if any) and this one.
compare() {
  local title=$1 floor_args=() args=()
  shift
  while [ "$1" != "--" ]; do floor_args+=("$1"); shift; done
  shift
  args=("$@")
  local cmds=("$floor" "${floor_args[@]}")
  [ -n "$before" ] && cmds+=(:: "$before" "${args[@]}")
  cmds+=(:: "$after" "${args[@]}")
  mapfile -t results < <(python3 measure.py "$runs" "${cmds[@]}")
  echo "$title"
  line "floor: inflate + memchr, every part" "${results[0]}"
  if [ -n "$before" ]; then
    line "before" "${results[1]}"
    against "before / floor" "${results[1]}" "${results[0]}"
  fi
  line "after" "${results[-1]}"
  against "after / floor" "${results[-1]}" "${results[0]}"
  [ -n "$before" ] && against "after / before" "${results[-1]}" "${results[1]}"
  return 0
}

printf 'median of %d runs, taking turns; cpu s / wall s / peak MiB\n' "$runs"
compare "open 100,000 x 20 = 2,000,000 cells (half shared strings, half numbers): target 1.5x" \
  cells2m.xlsx -- script open2m.jsonl
compare "create --count 40 from 100,000 questions, open to saved: target 4.5x" \
  q100k.xlsx -- create q100k.xlsx --count 40 -o made.xlsx
rm -f made.xlsx
"$after" create q100k.xlsx --count 40 -o made.xlsx > /dev/null
size_after=$(stat -c %s made.xlsx)
printf '  %-46s %s bytes' "saved file" "$size_after"
if [ -n "$before" ]; then
  rm -f made.xlsx
  "$before" create q100k.xlsx --count 40 -o made.xlsx > /dev/null
  printf ' (before %s bytes, %s)' "$(stat -c %s made.xlsx)" "$(ratio "$size_after" "$(stat -c %s made.xlsx)")"
fi
echo
