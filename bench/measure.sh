# Sourced by the bench scripts that time whole commands side by side.
# two_builds BEFORE_BUILD AFTER_BUILD [RUNS]: sets `before` and `after` (each build's tessarin) and
# `runs` (5 unless given), and moves into a fresh folder, removed on exit, that is also HOME.
two_builds() {
  before="$(cd "$1" && pwd)/app/cli/tessarin"
  after="$(cd "$2" && pwd)/app/cli/tessarin"
  runs=${3:-5}
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export HOME="$work/home"
  mkdir -p "$HOME/Documents"
  cd "$work"
}

# measure RUNS CMD...: runs CMD RUNS times in the current folder and prints "cpu wall MiB", each
# the median over the runs (CPU = user + system seconds, peak resident MiB, from /usr/bin/time),
# or "failed (...)" with the end of the command's error output. Files named out-* are removed
# before each run, so every run writes its output anew (saving over a workbook of another name
# reads that workbook first, to keep its record).
measure() {
  local n=$1 i
  shift
  : > samples.txt
  for i in $(seq "$n"); do
    rm -f out-*
    if ! /usr/bin/time -f '%U %S %e %M' -o one.txt "$@" > /dev/null 2> err.txt; then
      echo "failed ($(tail -c 200 err.txt | tr '\n' ' '))"
      return
    fi
    awk '{ printf "%.3f %.3f %.1f\n", $1 + $2, $3, $4 / 1024 }' one.txt >> samples.txt
  done
  local mid=$(((n + 1) / 2))
  median_of() { cut -d' ' -f"$1" samples.txt | sort -g | sed -n "${mid}p"; }
  echo "$(median_of 1) $(median_of 2) $(median_of 3)"
}
