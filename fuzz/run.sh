#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60), seeded from the
# corpus ($TESSARIN_CORPUS, else ../shared/corpus) and fuzz/seeds; crashes go to $WORK/<target>/crashes.
#   fuzz/run.sh [SECONDS] [TARGET...]     fuzz (targets: xlsx_read_fuzzer text_import_fuzzer
#                                         xls_import_fuzzer number_format_fuzzer script_line_fuzzer)
#   fuzz/run.sh regress                   replay fuzz/regressions/<target>/* once
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${FUZZ_BUILD_DIR:-$ROOT/../build-fuzz}
CORPUS=${FUZZ_CORPUS:-${TESSARIN_CORPUS:-$ROOT/../shared/corpus}/xlsx}
WORK=${FUZZ_WORK_DIR:-$BUILD/work}
ALL="xlsx_read_fuzzer text_import_fuzzer xls_import_fuzzer number_format_fuzzer script_line_fuzzer"

MODE=fuzz
SECONDS_EACH=60
if [ "${1:-}" = regress ]; then MODE=regress; shift; elif [ $# -gt 0 ]; then SECONDS_EACH=$1; shift; fi
TARGETS=${*:-$ALL}

command -v clang++ >/dev/null || { echo "clang++ is missing: apt-get install -y clang libclang-rt-14-dev" >&2; exit 1; }
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSARIN_BUILD_FUZZ=ON -DTESSARIN_BUILD_TESTS=OFF -DTESSARIN_BUILD_BENCH=OFF -DTESSARIN_BUILD_DESKTOP=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$BUILD" --target $TARGETS

# libfreexl leaks on some damaged files; that is its memory, not ours, and is not a finding. It also
# crashes on some: it runs in a child process, whose sanitizer report and crash-* file record a
# libfreexl fault contained there while the fuzzer goes on. A finding in our code stops the run.
# Qt keeps memory for the life of the process (fonts, the application object): the script runner's
# prints would all be reported as leaks.
leaks() {
  case $1 in xls_import_fuzzer | script_line_fuzzer) echo "-detect_leaks=0" ;; *) echo "-detect_leaks=1" ;; esac
}

for t in $TARGETS; do
  if [ "$MODE" = regress ]; then
    dir=$ROOT/fuzz/regressions/$t
    [ -d "$dir" ] || continue
    files=$(find "$dir" -type f | sort)
    [ -n "$files" ] || continue
    # shellcheck disable=SC2086
    "$BUILD/fuzz/$t" "$(leaks "$t")" $files
    continue
  fi
  corpus=$WORK/$t/corpus
  crashes=$WORK/$t/crashes
  mkdir -p "$corpus" "$crashes"
  case $t in
    xlsx_read_fuzzer) cp -n "$CORPUS"/*.xlsx "$CORPUS"/*.xlsm "$corpus"/ 2>/dev/null || true ;;
    xls_import_fuzzer) cp -n "$CORPUS"/*.xls "$corpus"/ 2>/dev/null || true ;;
    number_format_fuzzer) cp -n "$ROOT"/fuzz/seeds/numfmt/* "$corpus"/ 2>/dev/null || true ;;
    script_line_fuzzer)
      # The scripts of the case folders, as seeds; those naming paths are skipped by the target.
      for f in "$ROOT"/tests/cases/*/script.jsonl; do
        b=$(basename "$(dirname "$f")")
        [ -e "$corpus/$b" ] || cp "$f" "$corpus/$b"
      done ;;
    text_import_fuzzer)
      cp -n "$ROOT"/fuzz/seeds/text/* "$corpus"/ 2>/dev/null || true
      for f in "$CORPUS"/*.txt; do
        b=$(basename "$f")
        [ -e "$corpus/tab-$b" ] || { printf '\000' | cat - "$f" > "$corpus/tab-$b"; }
      done ;;
  esac
  echo "== $t for ${SECONDS_EACH}s"
  "$BUILD/fuzz/$t" "$(leaks "$t")" -max_total_time="$SECONDS_EACH" -timeout=60 -rss_limit_mb=2560 \
    -max_len=1048576 -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus"
done
