#!/usr/bin/env bash
# Times the main job end to end (open the sample, make a 40-question test, save) over several
# runs, in a fresh temporary home. Usage: bench/main_job.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-10}
tessarin="$build/app/cli/tessarin"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/Documents"
sample=$(HOME=$home "$tessarin" install-sample 2>/dev/null)
best=999999
total=0
for i in $(seq "$runs"); do
  start=$(date +%s%N)
  HOME=$home "$tessarin" create "$sample" --code 1234 -o "$home/out.xlsx" >/dev/null
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  total=$((total + ms))
  (( ms < best )) && best=$ms
done
echo "main job (open sample, create 40-question test, save): best ${best} ms, mean $((total / runs)) ms over ${runs} runs"
