#!/usr/bin/env bash
# Runs the cabinet fuzzer for a bounded time over a fresh seed corpus made from the kit's fixtures.
# usage: run_fuzz.sh FUZZER FIXTURE_WRITER WORK_DIR SECONDS
set -euo pipefail
fuzzer=$1 writer=$2 work=$3 seconds=$4
rm -rf "$work/fixtures" "$work/seeds"
mkdir -p "$work/corpus"
"$writer" "$work/fixtures"
python3 "$(dirname "$0")/make_corpus.py" "$work/fixtures" "$work/seeds"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=300000 \
    -print_final_stats=1 "$work/corpus" "$work/seeds"
