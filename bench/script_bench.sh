# Sourced by the bench scripts that time one `tessarin script` run over the whole command.
# bench_setup BUILD_DIR: sets $tessarin and a temporary $work (removed on exit) with its own HOME,
# and saves a one-sheet workbook made by the program itself as $work/base.xlsx.
# timed_script JSONL OUT: runs the script with /usr/bin/time, its transcript to OUT; sets $status,
# $rss (maximum resident set, MiB) and $wall.
bench_setup() {
  tessarin="$(cd "$1" && pwd)/app/cli/tessarin"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export HOME="$work/home"
  mkdir -p "$HOME"
  printf '{"new": true}\n{"type": {"cell": "A1", "value": "x"}}\n{"save": "%s"}\n' "$work/base.xlsx" > "$work/make.jsonl"
  "$tessarin" script "$work/make.jsonl" > /dev/null
}

timed_script() {
  status=0
  /usr/bin/time -v "$tessarin" script "$1" > "$2" 2> "$work/time.txt" || status=$?
  rss=$(awk -F': ' '/Maximum resident set size/ { print int($2 / 1024) }' "$work/time.txt")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time.txt")
}
