#!/usr/bin/env bash
# How long a job takes through the 16-bit path against the 32-bit path under
# 32-bit Wine: each job run alone by the 32-bit simulator, once calling the
# DLL directly and once through the 16-bit replayer (--via16), in ROUNDS
# interleaved rounds after one warm-up run, each a whole process start to end
# with the Wine server up. Prints the medians in milliseconds and their ratio.
# Without jobs: the samples, and a made-up page of 1,000 rectangles, where
# the per-call cost of the thunk and the pipes shows.
#
#   tools/bench/via16_timing.sh [--rounds N] [--build FOLDER] [JOB...]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
rounds=7
build=$root/build/win32
while [ $# -gt 0 ]; do
    case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) break ;;
    esac
done
driver=$build/quillrec_driver.exe
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if [ $# -eq 0 ]; then
    {
        echo "pen thin style=solid width=1 color=black"
        echo "page"
        for i in $(seq 1000); do
            echo "output rectangle $((i % 500)),$((i % 300)) $((i % 500 + 20)),$((i % 300 + 10)) pen=thin"
        done
        echo "close"
    } >"$out/rectangles1000.job"
    set -- "$root"/samples/*.job "$out/rectangles1000.job"
fi

# milliseconds of one run of the driver with the given options
run_ms()
{
    local start
    start=$(date +%s%N)
    "$root/scripts/wine-run" win32 "$driver" --no-listing --out "$out/pages" "$@" >/dev/null 2>&1 ||
        { echo "via16_timing: $* failed" >&2; exit 1; }
    echo $((($(date +%s%N) - start) / 1000000))
}
median()
{
    tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

run_ms --via16 "$1" >/dev/null # the first start of each kind of process
printf '%-24s %10s %10s %6s\n' job "32-bit ms" "16-bit ms" ratio
for job in "$@"; do
    direct=() via16=()
    for _ in $(seq "$rounds"); do
        direct+=("$(run_ms "$job")")
        via16+=("$(run_ms --via16 "$job")")
    done
    d=$(echo "${direct[*]}" | median)
    v=$(echo "${via16[*]}" | median)
    printf '%-24s %10d %10d %6.2f\n' "$(basename "$job")" "$d" "$v" "$(echo "$v / $d" | bc -l)"
done
