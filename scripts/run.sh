#!/usr/bin/env bash
# The main job: installs what is missing, builds the program, puts the sample question workbook
# into the data folder when it is missing, makes a 40-question test from it (random code 1234,
# every question), saves the result as a new workbook in out/ (or $OUT_DIR) and prints the test
# to a PDF beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh tessarin sample_workbook
tessarin="${BUILD_DIR:-build}/app/cli/tessarin"
out_dir=${OUT_DIR:-$PWD/out}
mkdir -p "$out_dir"
sample=$("$tessarin" install-sample)
"$tessarin" create "$sample" --code 1234 --count 40 -o "$out_dir/ミラトス_テスト_1234.xlsx" \
  --pdf "$out_dir/ミラトス_テスト_1234.pdf"
