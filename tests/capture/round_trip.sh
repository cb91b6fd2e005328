#!/usr/bin/env bash
# Capture and replay under Wine:
#   - every sample runs through the capture DLL (which forwards to the real
#     one beside it) into one capture file; the simulator replays that file
#     through the real DLL, and each replayed page's spool file must equal the
#     captured run's, record for record (the simulator's --compare masks what Wine writes
#     differently from run to run);
#   - with the soak program given, its mix of requests (some thousands, unnamed
#     style codes, null records, odd sizes) is captured and replayed the same way,
#     and so are two threads printing on two surfaces at once; a request that
#     crashes the real DLL (a beginscan, a text, a page) is the capture's last,
#     and the replay says so;
#   - a page the real DLL refuses is captured with its result and replays;
#   - a capture folder that cannot be written leaves printing working;
#   - without the real DLL every call fails and the capture file says why.
#
#   round_trip.sh win64|win32 quillrec_driver.exe CAPTURE_FOLDER REAL_DLL SAMPLES_FOLDER WORK_FOLDER [quillrec_soak.exe]
set -euo pipefail

arch=$1
driver=$2
capture=$3
real=$4
samples=$5
work=$6
soak=${7:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_run=$here/../../scripts/wine-run

. "$here/../checks.sh"

# compare_pairs SET A1 B1 [A2 B2 ...]: the simulator's --compare over the pairs,
# each pair copied under one page name into two folders it compares page by page
compare_pairs()
{
    local set=$work/compare/$1 page=0
    shift
    mkdir -p "$set/captured" "$set/replayed"
    while [ $# -gt 0 ]; do
        page=$((page + 1))
        cp "$1" "$set/captured/page$page.emf"
        cp "$2" "$set/replayed/page$page.emf"
        shift 2
    done
    "$wine_run" "$arch" "$driver" --compare "$set/captured" "$set/replayed" --out "$set/marks" >"$set.log" 2>&1 ||
        { cat "$set.log" >&2; return 1; }
}

# replay.job in FOLDER through the real DLL; its pages are FOLDER/replayed/replay-page<N>.emf
replay()
{
    "$wine_run" "$arch" "$driver" --dll "$real" --no-listing --out "$1/replayed" "$1/replay.job" >"$1/replay.log" 2>&1 ||
        { cat "$1/replay.log" >&2; fail "the capture in $1 does not replay"; }
}

# take CAPTURE FOLDER: the capture as FOLDER/replay.job, with the files beside
# it that its lines name (its point file, large bitmaps)
take()
{
    cp "$1" "$2/replay.job"
    local side
    for side in "$1".*; do
        [ ! -e "$side" ] || cp "$side" "$2/"
    done
}

# The requests a replay ran, as the driver counts them in its summary line.
requests_of()
{
    tr -d '\r' <"$1/replay.log" | sed -n 's/^job replay: .* page(s), \([0-9]*\) requests.*/\1/p'
}

rm -rf "$work"
mkdir -p "$work/captures" "$work/captured" "$work/replayed" "$work/lonely"
jobs=("$samples"/*.job)

# ---- capture every sample in one driver process: one capture file
QUILLREC_CAPTURE=$(windows_path "$work/captures") "$wine_run" "$arch" "$driver" --dll "$capture/QUILLREC.dll" \
    --no-listing --out "$work/captured" "${jobs[@]}" >"$work/capture.log" 2>&1 || fail "the samples failed through the capture DLL"
captured=("$work"/captures/QRC*.JOB)
[ "${#captured[@]}" -eq 1 ] || fail "expected one capture file, found ${#captured[@]}"
take "${captured[0]}" "$work"
replay "$work"

pairs=()
page=0
for job in "${jobs[@]}"; do
    name=$(basename "$job" .job)
    for emf in $(ls "$work/captured/$name"-page*.emf | sort -V); do
        page=$((page + 1))
        pairs+=("$emf" "$work/replayed/replay-page$page.emf")
    done
done
requests=$(requests_of "$work")
echo "$arch: ${#jobs[@]} samples, $requests requests, $page pages captured and replayed"
compare_pairs samples "${pairs[@]}" || fail "replayed spool files differ from the captured run's"
[ "$(grep -c '^close' "$work/replay.job")" -eq "$page" ] || fail "the capture does not close each of its $page pages once"

# ---- a page the real DLL refuses (a device Wine does not know): its result
# is captured, and the replay refuses it the same way
mkdir -p "$work/refused/captures"
printf 'page device="NO SUCH PRINTER" expect=-1\npage\noutput rectangle 10,10 90,90\n' >"$work/refused/refused.job"
QUILLREC_CAPTURE=$(windows_path "$work/refused/captures") "$wine_run" "$arch" "$driver" --dll "$capture/QUILLREC.dll" \
    --no-listing --out "$work/refused/captured" "$work/refused/refused.job" >"$work/refused/capture.log" 2>&1 ||
    fail "a refused page failed through the capture DLL"
take "$work"/refused/captures/QRC*.JOB "$work/refused"
grep -q '^result -1$' "$work/refused/replay.job" || fail "the refused page's result is not in the capture"
replay "$work/refused"
[ "$(requests_of "$work/refused")" = 4 ] || fail "the refused page's capture replays $(requests_of "$work/refused") requests, not 4"

# ---- the request maker's mix, 3,000 requests over three spool files
if [ -n "$soak" ]; then
    mkdir -p "$work/mix/captures" "$work/mix/kept"
    QUILLREC_CAPTURE=$(windows_path "$work/mix/captures") QUILLREC_SOAK_DLL=$(windows_path "$capture/QUILLREC.dll") \
        QUILLREC_SOAK_KEEP=$(windows_path "$work/mix/kept") "$wine_run" "$arch" "$soak" 3000 1000 >"$work/mix/soak.log" 2>&1 ||
        { cat "$work/mix/soak.log" >&2; fail "the soak failed through the capture DLL"; }
    take "$work"/mix/captures/QRC*.JOB "$work/mix"
    grep -q ' points16=' "$work/mix/replay.job" || fail "no point list of the mix went to the point file"
    replay "$work/mix"
    pairs=()
    for emf in $(ls "$work"/mix/kept/soak-page*.emf | sort -V); do
        pairs+=("$emf" "$work/mix/replayed/replay-${emf##*soak-}")
    done
    requests=$(requests_of "$work/mix")
    echo "$arch: the soak's mix, $requests requests on $((${#pairs[@]} / 2)) pages, captured and replayed"
    compare_pairs mix "${pairs[@]}" || fail "the mix's replayed spool files differ"
fi

# ---- two threads on two surfaces at once, 2,000 requests each: the process
# survives, and the replay's page N (the capture's Nth page line, whose
# comment names the spool file) equals the spool file that thread kept
if [ -n "$soak" ]; then
    mkdir -p "$work/threads/captures" "$work/threads/kept"
    QUILLREC_CAPTURE=$(windows_path "$work/threads/captures") QUILLREC_SOAK_DLL=$(windows_path "$capture/QUILLREC.dll") \
        QUILLREC_SOAK_KEEP=$(windows_path "$work/threads/kept") QUILLREC_SOAK_THREADS=2 \
        "$wine_run" "$arch" "$soak" 2000 2000 7 >"$work/threads/soak.log" 2>&1 ||
        { cat "$work/threads/soak.log" >&2; fail "two threads failed through the capture DLL"; }
    take "$work"/threads/captures/QRC*.JOB "$work/threads"
    replay "$work/threads"
    pairs=()
    page=0
    for name in $(sed -n 's/^; GetEmfFileDC32 on "\(.*\)"$/\1/p' "$work/threads/replay.job" | sed 's/.*\\x5c//'); do
        page=$((page + 1))
        pairs+=("$work/threads/kept/soak-$name.emf" "$work/threads/replayed/replay-page$page.emf")
    done
    [ "$page" -eq 2 ] && grep -q ' surface=' "$work/threads/replay.job" ||
        fail "the threads' capture does not hold two interleaved surfaces"
    echo "$arch: two threads, $(requests_of "$work/threads") requests on $page surfaces at once, captured and replayed"
    compare_pairs threads "${pairs[@]}" || fail "the threads' replayed spool files differ"

    # ---- a request the real DLL goes through a bad pointer in: a beginscan's
    # out-argument, a text's string (read once its font is made), a page's
    # surface variable; the capture's last line names it
    for crash in "scan:output OUT_BEGINSCAN" "text:call text" "page:call page"; do
        where=$work/crash-${crash%%:*}
        mkdir -p "$where/captures"
        status=0
        QUILLREC_CAPTURE=$(windows_path "$where/captures") QUILLREC_SOAK_DLL=$(windows_path "$capture/QUILLREC.dll") \
            QUILLREC_SOAK_CRASH=${crash%%:*} "$wine_run" "$arch" "$soak" 200 1000 3 >"$where/soak.log" 2>&1 ||
            status=$?
        [ "$status" -ne 0 ] || fail "the crashing ${crash%%:*} did not crash the process"
        take "$where"/captures/QRC*.JOB "$where"
        tr -d '\000' <"$where"/captures/QRC*.JOB >"$where/replay.job"
        last=$(grep -n '^[a-z]' "$where/replay.job" | tail -1)
        [[ "$last" == *":${crash#*:}"* ]] || fail "the crashing ${crash%%:*} is not the capture's last line: $last"
        replay "$where"
        grep -q "replay.job:${last%%:*}: warning: the real DLL never answered" "$where/replay.log" ||
            fail "the replay does not say the capture ends in a crash at line ${last%%:*}"
    done
fi

# ---- a second capture into the same folder: a new name, the first file untouched
QUILLREC_CAPTURE=$(windows_path "$work/captures") "$wine_run" "$arch" "$driver" --dll "$capture/QUILLREC.dll" \
    --out "$work/again" "${jobs[0]}" >"$work/again.log" 2>&1 || fail "a second capture failed"
[ -s "$work/captures/QRC00002.JOB" ] || fail "the second capture did not get a name of its own"
cmp -s "$work/captures/QRC00001.JOB" "$work/replay.job" || fail "the second capture changed the first"

# ---- a capture folder that cannot be written: printing goes on
QUILLREC_CAPTURE=$(windows_path "$work/missing/folder") "$wine_run" "$arch" "$driver" --dll "$capture/QUILLREC.dll" \
    --out "$work/unwritable" "${jobs[0]}" >"$work/unwritable.log" 2>&1 ||
    fail "an unwritable capture folder broke printing: $(cat "$work/unwritable.log")"

# without_real FOLDER WHAT SAYS: the capture DLL alone in FOLDER (with whatever
# QUILLRAW.DLL is already there): every call fails (the driver exits 1, as
# GetEmfFilePath32 fails), and the capture file says SAYS
without_real()
{
    cp "$capture/QUILLREC.dll" "$1/"
    local status=0
    QUILLREC_CAPTURE=$(windows_path "$1") "$wine_run" "$arch" "$driver" --dll "$1/QUILLREC.dll" \
        --out "$1/out" "${jobs[0]}" >"$1.log" 2>&1 || status=$?
    [ "$status" -eq 1 ] || fail "$2: the driver exited $status, expected 1"
    grep -q "$3" "$1"/QRC*.JOB 2>/dev/null || fail "$2: the capture file does not say '$3'"
}

# ---- no real DLL; a real DLL without the nine exports (a DLL of Wine's own with five)
without_real "$work/lonely" "without the real DLL" 'QUILLRAW.DLL cannot be loaded'
wine_home=${QUILLREC_WINE_HOME:-${XDG_CACHE_HOME:-$HOME/.cache}/quillrec}
mkdir -p "$work/partial"
cp "$wine_home/$([ "$arch" = win64 ] && echo prefix || echo prefix32)/drive_c/windows/system32/msimg32.dll" \
    "$work/partial/QUILLRAW.DLL"
without_real "$work/partial" "with a real DLL lacking exports" 'has no export at ordinal'

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "captures replay to identical spool files; capture failures leave printing as it was"
