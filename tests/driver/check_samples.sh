#!/usr/bin/env bash
# Runs every sample job through the driver simulator under Wine and checks
# what a spooler would rely on:
#   - the run succeeds and each page leaves its .emf, .txt listing and .bmp;
#   - the driver itself read each spool file back with GetEnhMetaFile (it
#     fails the job otherwise) and left no temporary spool file behind;
#   - emf2svg-conv, an independent EMF reader, accepts every spool file;
#   - a job with a syntax error exits 2 and calls nothing; a job that fails
#     while running exits 1 and leaves no spool file or output at all.
#
#   check_samples.sh win64|win32 quillrec_driver.exe SAMPLES_FOLDER WORK_FOLDER
set -euo pipefail

arch=$1
driver=$2
samples=$3
work=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
wine_run=$root/scripts/wine-run

failures=0
fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! command -v emf2svg-conv >/dev/null 2>&1; then
    echo "FAIL: emf2svg-conv is missing (Debian package emf2svg); run scripts/setup" >&2
    exit 1
fi

# Where the DLL's spool files land: <prefix>/drive_c/windows/temp.
home=${QUILLREC_WINE_HOME:-${XDG_CACHE_HOME:-$HOME/.cache}/quillrec}
prefix=$home/prefix
[ "$arch" = win32 ] && [ -d "$home/prefix32" ] && prefix=$home/prefix32
unix_path_of()
{
    # C:\windows\temp\EMF1a2b.tmp -> <prefix>/drive_c/windows/temp/EMF1a2b.tmp
    local path=${1//\\//}
    echo "$prefix/drive_c/${path#?:/}"
}
check_started_gone()
{
    local log=$1 line spool
    while read -r line; do
        spool=$(unix_path_of "${line#started }")
        [ -e "$spool" ] && fail "temporary spool file left behind: $spool"
    done < <(grep '^started ' "$log" | tr -d '\r')
    return 0
}

rm -rf "$work"
mkdir -p "$work/out" "$work/bad"

# ---- every sample
jobs=("$samples"/*.job)
echo "running ${#jobs[@]} sample jobs under $arch"
if ! "$wine_run" "$arch" "$driver" --verbose --out "$work/out" "${jobs[@]}" >"$work/run.log" 2>&1; then
    cat "$work/run.log" >&2
    fail "the driver failed on the samples"
fi
check_started_gone "$work/run.log"
"$wine_run" "$arch" "$driver" --check "${jobs[@]}" >"$work/check.log" 2>&1 || fail "--check failed"
for job in "${jobs[@]}"; do
    name=$(basename "$job" .job)
    pages=$(tr -d '\r' <"$work/check.log" | sed -n "s|.*/$name.job: .* requests, \([0-9]*\) pages|\1|p")
    if [ -z "$pages" ] || [ "$pages" -lt 1 ]; then
        fail "$name: no page count from --check"
        continue
    fi
    for page in $(seq 1 "$pages"); do
        base=$work/out/$name-page$page
        for ext in emf txt bmp; do
            [ -s "$base.$ext" ] || fail "$name page $page: $base.$ext is missing or empty"
        done
        [ -f "$base.emf" ] || continue
        # the listing ends with the spool file's EOF record, as GDI enumerated it
        grep -q 'EMR_EOF' "$base.txt" || fail "$name page $page: the listing has no EMR_EOF"
        if ! emf2svg-conv -i "$base.emf" -o "$base.svg" >"$base.emf2svg.log" 2>&1 || [ ! -s "$base.svg" ]; then
            cat "$base.emf2svg.log" >&2
            fail "$name page $page: emf2svg-conv does not accept $base.emf"
        fi
    done
    echo "ok: $name ($pages page(s))"
done

# ---- a syntax error: exit 2, file:line in the message, nothing started
status=0
"$wine_run" "$arch" "$driver" --verbose --out "$work/bad" "$here/bad-syntax.job" >"$work/bad-syntax.log" 2>&1 ||
    status=$?
[ "$status" -eq 2 ] || fail "bad-syntax.job: exit status $status, expected 2"
grep -q 'bad-syntax.job:6: .*expected 2' "$work/bad-syntax.log" ||
    fail "bad-syntax.job: no 'bad-syntax.job:6:' message: $(cat "$work/bad-syntax.log")"
grep -q '^started ' "$work/bad-syntax.log" && fail "bad-syntax.job: a spool file was started"

# ---- a failure while running: exit 1, no spool file or output kept
status=0
"$wine_run" "$arch" "$driver" --verbose --out "$work/bad" "$here/bad-run.job" >"$work/bad-run.log" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "bad-run.job: exit status $status, expected 1"
grep -q 'bad-run.job:9: SetClipRect32 returned 0, expected -1' "$work/bad-run.log" ||
    fail "bad-run.job: no 'bad-run.job:9:' message: $(cat "$work/bad-run.log")"
[ "$(grep -c '^started ' "$work/bad-run.log")" -eq 2 ] || fail "bad-run.job: expected two pages started"
check_started_gone "$work/bad-run.log"
leftovers=$(find "$work/bad" -type f | head -5)
[ -z "$leftovers" ] || fail "bad-run.job left outputs behind: $leftovers"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all samples recorded, read back and accepted by emf2svg-conv; failing jobs left nothing behind"
