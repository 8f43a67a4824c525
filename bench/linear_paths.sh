#!/usr/bin/env bash
# Times whole commands of two builds side by side, in one run, on books made on the fly: marking
# 1,000 questions against opening and saving the same book, answers on a 1,000-question test of
# 100,000 questions (texts found and not found), the duplicate report (groups of 50, and one group
# of 16,069), 5 wrapped cells of 32,767 characters printed, a format step of 20,000 character
# runs saved, printing 10 and 100 test pages, and making a test from 100,000 questions against
# only opening them. Each figure is the median of RUNS runs: CPU seconds (user + system), wall
# seconds and peak resident MiB, from /usr/bin/time.
# Usage: bench/linear_paths.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [RUNS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=bench/measure.sh
. "$here/measure.sh"
two_builds "$@"

# --- the books -----------------------------------------------------------------------------
python3 "$here/make_book.py" q100k.xlsx 100000
python3 "$here/make_book.py" q400.xlsx 400
python3 "$here/make_book.py" groups50.xlsx 100000 --group 50
python3 "$here/make_book.py" uneven.xlsx 100000 --uneven 16069
"$after" create q100k.xlsx --count 1000 --no-source -o t1000.xlsx > /dev/null
"$after" create q400.xlsx --count 400 --no-source -o t10pages.xlsx > /dev/null
"$after" create q100k.xlsx --count 4000 --no-source -o t100pages.xlsx > /dev/null
python3 - <<'PY'
import json
def write(name, steps):
    with open(name, "w") as f:
        for s in steps:
            f.write(json.dumps(s, ensure_ascii=False) + "\n")
# The test's 1,000 question cells retyped with texts the question sheet does not hold.
steps = [{"open": "t1000.xlsx"}, {"activate": "テスト用紙 【40】"}]
letters = "ABCDEFGHIJKLMNOPQRST"
for page in range(25):
    for row in (8 * page + 2, 8 * page + 6):
        for col in letters:
            steps.append({"type": {"cell": f"{col}{row}", "value": f"未登録{row}{col}"}})
steps.append({"save": "notfound.xlsx"})
write("make_notfound.jsonl", steps)
write("opensave.jsonl", [{"open": "t1000.xlsx"}, {"save": "out-opensave.xlsx"}])
write("open100k.jsonl", [{"open": "q100k.xlsx"}])
text = ("山川田日月火水木金土" * 3277)[:32767]
steps = [{"new": True}]
for r in range(1, 6):
    steps += [{"type": {"cell": f"A{r}", "value": text}}, {"format": {"cell": f"A{r}", "wrap": True}}]
steps += [{"format": {"cell": "A1:A5", "rowheight": 409}}, {"print": {"sheet": "Sheet1", "pdf": "wrap.pdf"}}]
write("wrap.jsonl", steps)
runs = [{"start": i + 1, "length": 1, "font": {"bold": i % 2 == 0, "size": 12 if i % 3 else 14}}
        for i in range(20000)]
write("runs.jsonl", [{"new": True}, {"type": {"cell": "A1", "value": "あ" * 32767}},
                     {"format": {"cell": "A1", "runs": runs}}, {"save": "out-runs.xlsx"}])
PY
"$after" script make_notfound.jsonl > /dev/null

# --- timing --------------------------------------------------------------------------------
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "failed" || b == "failed" || b == 0) print "-"; else printf "%.2f", a / b }'; }

printf '%-44s %26s %26s %8s\n' "median of $runs: cpu s / wall s / peak MiB" before after "cpu b/a"
row() {  # row LABEL RUNS ARGS... (ARGS run with each build's tessarin in front)
  local label=$1 n=$2
  shift 2
  local b a
  b=$(measure "$n" "$before" "$@")
  a=$(measure "$n" "$after" "$@")
  printf '%-44s %26s %26s %8s\n' "$label" "$b" "$a" "$(ratio "${b%% *}" "${a%% *}")"
  read -r -a last_before <<< "$b"
  read -r -a last_after <<< "$a"
}

numbers=$(seq -s, 1 1000)
row "open + save (1,000-question test book)" "$runs" script opensave.jsonl
os_b=${last_before[0]} os_a=${last_after[0]}
row "mark --wrong 1..1000" "$runs" mark t1000.xlsx --wrong "$numbers" -o out-marked.xlsx
echo "  mark against open + save (cpu): before $(ratio "${last_before[0]}" "$os_b")x, after $(ratio "${last_after[0]}" "$os_a")x"
row "answers --show, 1,000 of 100,000 found" "$runs" answers t1000.xlsx --show -o out-shown.xlsx
row "answers --show, 1,000 texts not found" "$runs" answers notfound.xlsx --show -o out-shown2.xlsx
row "answers --erase" "$runs" answers t1000.xlsx --erase -o out-erased.xlsx
row "report duplicates, groups of 50" 3 report groups50.xlsx duplicates
# The uneven report ran out of memory before: it runs once per build, under a 4 GiB cap.
b=$( (ulimit -v 4194304; measure 1 "$before" report uneven.xlsx duplicates) )
a=$( (ulimit -v 4194304; measure 1 "$after" report uneven.xlsx duplicates) )
printf '%-44s %26s %26s\n' "report duplicates, one group of 16,069 (4 GiB cap)" "$b" "$a"
row "5 wrapped cells of 32,767 characters printed" 3 script wrap.jsonl
row "20,000 character runs formatted and saved" 1 script runs.jsonl
row "print 10 test pages" "$runs" print t10pages.xlsx -o p10.pdf
p10_b=${last_before[0]} p10_a=${last_after[0]}
row "print 100 test pages" "$runs" print t100pages.xlsx -o p100.pdf
echo "  ms a test page, 100 pages against 10 (cpu): before $(awk -v a="${last_before[0]}" -v b="$p10_b" 'BEGIN { printf "%.2f", (a - b) / 90 * 1000 }'), after $(awk -v a="${last_after[0]}" -v b="$p10_a" 'BEGIN { printf "%.2f", (a - b) / 90 * 1000 }')"
row "open 100,000 questions" "$runs" script open100k.jsonl
op_b=${last_before[0]} op_a=${last_after[0]}
row "create --count 40 from 100,000 questions" "$runs" create q100k.xlsx --count 40 -o out-made.xlsx
echo "  create against opening (cpu): before $(ratio "${last_before[0]}" "$op_b")x, after $(ratio "${last_after[0]}" "$op_a")x"
