#!/usr/bin/env bash
# Memory and time of `tessarin script` opening a workbook whose shared string table holds COUNT
# (20,000,000) unique strings, a few of them used by cells, measured over the whole command with
# /usr/bin/time (maximum resident set). Usage: bench/shared_strings.sh [BUILD_DIR] [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-20000000}
# shellcheck source=bench/script_bench.sh
. bench/script_bench.sh
bench_setup "$build"
python3 - "$work/base.xlsx" "$work/strings.xlsx" "$count" <<'PY'
import sys, zipfile
src, dst, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
digits = '0123456789abcdefghijklmnopqrstuvwxyz'
def text(n):  # a short unique text per index
    s = ''
    while True:
        s = digits[n % 36] + s
        n //= 36
        if n == 0:
            return s
with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as zout:
    for item in zin.infolist():
        data = zin.read(item.filename)
        if item.filename == 'xl/worksheets/sheet1.xml':
            cells = ''.join(f'<row r="{r}"><c r="A{r}" t="s"><v>{(r - 1) * (count // 10)}</v></c></row>' for r in range(1, 11))
            start, end = data.index(b'<sheetData>'), data.index(b'</sheetData>')
            data = data[:start] + b'<sheetData>' + cells.encode() + data[end:]
        if item.filename == 'xl/sharedStrings.xml':
            continue
        zout.writestr(item, data)
    with zout.open('xl/sharedStrings.xml', 'w', force_zip64=True) as f:
        f.write(f'<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="{count}" uniqueCount="{count}">'.encode())
        batch = []
        for n in range(count):
            batch.append(f'<si><t>{text(n)}</t></si>')
            if len(batch) == 100000:
                f.write(''.join(batch).encode())
                batch = []
        f.write(''.join(batch).encode() + b'</sst>')
PY
echo "workbook: $(du -m "$work/strings.xlsx" | cut -f1) MiB on disk, $count unique shared strings"

printf '{"open": "%s"}\n' "$work/strings.xlsx" > "$work/open.jsonl"
timed_script "$work/open.jsonl" "$work/out.txt"
echo "open: exit $status, maximum resident set ${rss} MiB, wall ${wall}"
grep -v '^\s' "$work/out.txt" | tail -n 3
