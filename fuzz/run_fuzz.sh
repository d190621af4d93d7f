#!/usr/bin/env bash
# Runs one of the fuzzers for a bounded time over fresh seed corpora made from the kit's fixtures and
# encoder-made Quantum cabinets; the corpus it grows stays in WORK_DIR/corpus between runs.
# usage: run_fuzz.sh FUZZER cab|quantum WORK_DIR SECONDS FIXTURE_WRITER QUANTUM_WRITER
set -euo pipefail
fuzzer=$1 kind=$2 work=$3 seconds=$4 writer=$5 quantum_writer=$6
case $kind in
    cab | quantum) ;;
    *) echo "run_fuzz.sh: the kind is cab or quantum, not $kind" >&2; exit 2 ;;
esac
rm -rf "$work/fixtures" "$work/quantum" "$work/seeds" "$work/seeds-cab" "$work/seeds-quantum"
mkdir -p "$work/corpus"
"$writer" "$work/fixtures"
"$quantum_writer" "$work/quantum"
python3 "$(dirname "$0")/make_corpus.py" "$work/fixtures" "$work/quantum" "$work/seeds-cab" "$work/seeds-quantum"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=300000 \
    -print_final_stats=1 "$work/corpus" "$work/seeds-$kind"
