#!/usr/bin/env bash
# Memory and time of `tessarin script` opening and saving a workbook that carries two big parts
# nothing refers to (500 MiB each inflated, about 60 to 1 compressed), measured over the whole
# command with /usr/bin/time (maximum resident set). Parts passed on unread should cost their
# compressed size, not their inflated one. Usage: bench/carried_parts.sh [BUILD_DIR] [MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
mib=${2:-500}
# shellcheck source=bench/script_bench.sh
. bench/script_bench.sh
# A one-sheet workbook made by the program itself, then the two parts added to its zip.
bench_setup "$build"
python3 - "$work/base.xlsx" "$work/big.xlsx" "$mib" <<'PY'
import struct, sys, zipfile
src, dst, mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
block = bytearray(1 << 20)
x = 1
for i in range(0, len(block), 1024):  # mostly zeros, a little noise: well under the bomb ratio
    x = (x * 6364136223846793005 + 1442695040888963407) & ((1 << 64) - 1)
    block[i:i + 8] = struct.pack('<Q', x)
with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as zout:
    for item in zin.infolist():
        zout.writestr(item, zin.read(item.filename))
    for name in ('custom/one.bin', 'custom/two.bin'):
        with zout.open(name, 'w', force_zip64=True) as f:
            for _ in range(mib):
                f.write(block)
PY
echo "workbook: $(du -m "$work/big.xlsx" | cut -f1) MiB on disk, two unreferenced parts of $mib MiB each inflated"

printf '{"open": "%s"}\n{"save": "%s"}\n' "$work/big.xlsx" "$work/saved.xlsx" > "$work/resave.jsonl"
timed_script "$work/resave.jsonl" /dev/null
[ "$status" -eq 0 ] || { cat "$work/time.txt"; exit 1; }
echo "open + save: maximum resident set ${rss} MiB, wall ${wall}"
python3 - "$work/big.xlsx" "$work/saved.xlsx" <<'PY'
import sys, zipfile
a, b = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2])
for name in ('custom/one.bin', 'custom/two.bin'):
    x, y = a.getinfo(name), b.getinfo(name)
    same = (x.CRC, x.file_size, x.compress_size) == (y.CRC, y.file_size, y.compress_size)
    print(f"{name}: crc {y.CRC:08x}, {y.file_size >> 20} MiB, compressed {y.compress_size >> 10} KiB, "
          f"{'as it came' if same else 'CHANGED'}")
PY
