#!/usr/bin/env bash
# Every speed figure in one run, each beside its floor or peer and with two builds side by side:
# reading and making a test against inflating the same files (floors.sh); marking, answers and
# the duplicate report against opening and saving (linear_paths.sh); printing by the page
# (print_pages.sh) and against LibreOffice (print_bench.sh, when soffice is installed); the
# window on 1,000,000 rows (window_bench.sh). Both builds need the bench targets (and the
# window's libraries for the last section). The window's bench is compiled against each build,
# so a build whose window headers differ from this tree's is given apart as WINDOW_BEFORE.
# Usage: [WINDOW_BEFORE=DIR] bench/speed_all.sh BEFORE_BUILD_DIR AFTER_BUILD_DIR [RUNS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
before=$1
after=$2
runs=${3:-5}
section() { printf '\n== %s (%s)\n' "$1" "$(date +%H:%M:%S)"; }

section "reading and making a test, against the inflate floor"
"$here/floors.sh" "$after" "$before" "$runs"
section "marking, answers and reports, against opening and saving"
"$here/linear_paths.sh" "$before" "$after" "$runs"
section "printing, milliseconds a page"
"$here/print_pages.sh" "$before" "$after" "$runs"
if command -v soffice > /dev/null; then
  section "printing, against LibreOffice"
  "$here/print_bench.sh" "$after" "$runs"
fi
section "the window, 1,000,000 rows"
"$here/window_bench.sh" "${WINDOW_BEFORE:-$before}" "$after" 1000000 "$runs"
