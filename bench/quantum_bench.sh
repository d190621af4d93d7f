#!/usr/bin/env bash
# Quantum extraction benchmark: a cabinet of at least 16 MiB made by the test encoder, extracted by
# cabtool with the memory window, by cabtool with the paged window (CABTOOL_ALLOC_LIMIT keeps the
# memory below the window, so pages spill to the work file), and by cabextract, side by side.
#
# bench/quantum_bench.sh [BUILD_DIR] [MIB] [WINDOW_BITS] [RUNS]
set -euo pipefail

build=${1:-/work/build-qtm}
mib=${2:-16}
bits=${3:-21}
runs=${4:-5}
cabtool=$build/tools/cabtool/cabtool
maker=$build/tests/quantum/quantum_make_cab
for tool in "$cabtool" "$maker" /usr/bin/time; do
    [ -x "$tool" ] || { echo "missing $tool (build the native tree first)" >&2; exit 1; }
done
command -v cabextract >/dev/null || { echo "missing cabextract" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bytes=$((mib * 1024 * 1024))
"$maker" "$work/bench.cab" "$bytes" "$bits" 8 1 text >/dev/null
cab_bytes=$(stat -c %s "$work/bench.cab")

# One timed run: prints "seconds peak_kib".
run_once() {
    rm -rf "$work/out"
    mkdir -p "$work/out"
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
    cat "$work/time"
}

# Median seconds and the largest peak over the runs: prints "median peak".
measure() {
    local times=() peak=0 t m
    for _ in $(seq "$runs"); do
        read -r t m < <(run_once "$@")
        times+=("$t")
        [ "$m" -gt "$peak" ] && peak=$m
    done
    printf '%s\n' "${times[@]}" | sort -n | awk -v peak="$peak" '{a[NR]=$1} END {print a[int((NR+1)/2)], peak}'
}

# The paged run gets room for the reader's buffers and a fraction of the window's pages.
limit=$(( (1 << bits) / 8 + 131072 ))
check_same() {
    for f in "$work"/ref/*; do cmp -s "$f" "$work/out/$(basename "$f")" || { echo "$1 extracted wrong bytes" >&2; exit 1; }; done
}
mkdir -p "$work/ref"
cabextract -q -d "$work/ref" "$work/bench.cab"

read -r mem_t mem_m < <(measure "$cabtool" extract "$work/bench.cab" "$work/out")
check_same cabtool
read -r pag_t pag_m < <(measure env CABTOOL_ALLOC_LIMIT=$limit "$cabtool" extract "$work/bench.cab" "$work/out")
check_same "cabtool (paged)"
read -r ce_t ce_m < <(measure cabextract -q -d "$work/out" "$work/bench.cab")

echo "Quantum cabinet: $mib MiB of data, window bits $bits, cabinet $cab_bytes bytes, median of $runs runs"
printf '%-34s %10s %10s %14s\n' "extractor" "median s" "MB/s" "peak RSS KiB"
row() { awk -v n="$1" -v t="$2" -v m="$3" -v b="$bytes" 'BEGIN {printf "%-34s %10.3f %10.1f %14d\n", n, t, (t > 0 ? b / t / 1e6 : 0), m}'; }
row "cabtool (memory window)" "$mem_t" "$mem_m"
row "cabtool (paged, limit $limit B)" "$pag_t" "$pag_m"
row "cabextract" "$ce_t" "$ce_m"
awk -v m="$mem_t" -v p="$pag_t" -v c="$ce_t" 'BEGIN {
    printf "memory window vs cabextract: %.2fx time; paged vs memory window: %.2fx time\n", (c > 0 ? m / c : 0), (m > 0 ? p / m : 0) }'
