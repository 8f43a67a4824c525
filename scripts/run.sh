#!/usr/bin/env bash
# The main job: installs what is missing, builds the program, puts the sample question workbook
# into the data folder when it is missing, copies it to out/ (or $OUT_DIR) the first time, makes a
# 40-question test in that copy (random code 1234, every question), which keeps the record from one
# run to the next, and prints the test to a PDF beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh tessarin sample_workbook
tessarin="${BUILD_DIR:-build}/app/cli/tessarin"
out_dir=${OUT_DIR:-$PWD/out}
mkdir -p "$out_dir"
sample=$("$tessarin" install-sample)
book="$out_dir/ミラトス.xlsx"
[ -e "$book" ] || cp "$sample" "$book"
"$tessarin" create "$book" --code 1234 --count 40 --pdf "$out_dir/ミラトス_テスト_1234.pdf"
