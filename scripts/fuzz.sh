#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds; any crash, leak or
# sanitizer report fails the run.
set -euo pipefail
build=$1
seconds=$2
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then echo "no fuzz targets"; exit 0; fi
mkdir -p "$build/fuzz-artifacts"
for t in "${targets[@]}"; do
  [ -x "$t" ] || continue
  name=$(basename "$t")
  corpus="$build/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  echo "fuzzing $name for ${seconds}s"
  "$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$name-" \
    "$corpus" $seeds 2>"$build/fuzz-$name.log" || { tail -n 60 "$build/fuzz-$name.log"; exit 1; }
  grep -E 'stat::number_of_executed_units' "$build/fuzz-$name.log" || true
done
echo "fuzzing: every target ran clean"
