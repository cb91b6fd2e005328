#!/usr/bin/env bash
# The 16-bit path under 32-bit Wine: every sample, a job whose bitmap passes
# 64 KiB (one 16-bit segment), and a capture made on the 16-bit path, run by
# the 16-bit replayer through the generic thunk (quillrec_driver --via16):
#   - each call returns what it returns on the 32-bit path: each page's
#     listing (calls, results, records) is the 32-bit path's, spool file
#     names and handle values aside, and so is each job's summary;
#   - every page compares equal to the 32-bit path's, with the shipped DLL and
#     with the capture DLL in front of it, and the capture replays through the
#     16-bit path to the same pages;
#   - the capture DLL writes the same capture on both paths (spool file names
#     and handle values aside): the DLL is handed the same bytes;
#   - a wrong conversion mask makes the run fail, naming the job line and the
#     call that was running, and keeps nothing of the page;
#   - the README's worked example (example16.exe, beside the simulator) names,
#     opens and closes a spool file that GDI's format starts.
# One Wine process per step.
#
#   via16.sh quillrec_driver.exe CAPTURE_FOLDER SAMPLES_FOLDER WORK_FOLDER
set -euo pipefail

driver=$1
capture=$2
samples=$3
work=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_run=$here/../../scripts/wine-run

. "$here/../checks.sh"
# run NAME ARGUMENT...: the driver under 32-bit Wine, its output in NAME.log
run()
{
    local name=$1
    shift
    "$wine_run" win32 "$driver" "$@" >"$work/$name.log" 2>&1
}

rm -rf "$work"
mkdir -p "$work/captures" "$work/captures32" "$work/left" "$work/right"

# 300 x 250 pixels at 24 bits: 220 KiB of bits, over three segments
python3 - "$work/big.bmp" <<'EOF'
import struct, sys
width, height = 300, 250
row = (width * 3 + 3) & ~3
bits = bytearray()
for y in range(height):
    line = bytearray()
    for x in range(width):
        line += bytes(((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255))
    bits += line + bytes(row - len(line))
header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
with open(sys.argv[1], 'wb') as out:
    out.write(b'BM' + struct.pack('<IHHI', 14 + len(header) + len(bits), 0, 0, 14 + len(header)) + header + bits)
EOF
cat >"$work/big.job" <<'EOF'
# a bitmap larger than one 16-bit segment, as a device bitmap and as a DIB
bitmap big file=big.bmp
page size=640,480
raster 10,10 300,250 big
dib 320,10 300,250 big
close
EOF
jobs=("$samples"/*.job "$work/big.job")

run direct --out "$work/direct" "${jobs[@]}" || fail "the 32-bit path failed: $(tail -n 3 "$work/direct.log")"
run via16 --via16 --out "$work/via16" "${jobs[@]}" || fail "the 16-bit path failed: $(tail -n 3 "$work/via16.log")"
# (without listings: the capture then holds each page once)
QUILLREC_CAPTURE=$(windows_path "$work/captures") run captured --via16 --no-listing --dll "$capture/QUILLREC.dll" \
    --out "$work/captured" "${jobs[@]}" || fail "the 16-bit path through the capture DLL failed"
QUILLREC_CAPTURE=$(windows_path "$work/captures32") run captured32 --no-listing --dll "$capture/QUILLREC.dll" \
    --out "$work/captured32" "${jobs[@]}" || fail "the 32-bit path through the capture DLL failed"
run replayed --via16 --no-listing --out "$work/replayed" "$work"/captures/QRC*.JOB ||
    fail "the capture made on the 16-bit path does not replay on it: $(tail -n 3 "$work/replayed.log")"

# Results: the summary lines, and each listing's calls with their results.
normalize()
{
    tr -d '\r' <"$1" | sed -E 's/"[A-Za-z]:\\[^"]*"/"SPOOL"/g; s/0x[0-9a-f]{8}/HANDLE/g'
}
for log in via16 captured; do
    diff <(normalize "$work/direct.log" | grep '^job ') <(normalize "$work/$log.log" | grep '^job ') >/dev/null ||
        fail "the $log run's summaries differ from the 32-bit path's"
done
# The handles a beginscan's result line names are each process's own. The
# replayer frees the DLL before the simulator ends, so the capture is cut to
# length (zeros after the text are what a crash leaves).
capture_text()
{
    normalize "$1" | sed -E 's/EMF[0-9a-f]+\.tmp/EMF.tmp/g; s/(pen|oldpen|brush|oldbrush|pattern)=[0-9]+/\1=H/g'
}
[ "$(tr -dc '\000' <"$work"/captures/QRC00001.JOB | wc -c)" -eq 0 ] ||
    fail "the 16-bit path's capture ends in zeros: the replayer did not free the DLL before the simulator ended"
diff <(capture_text "$work"/captures32/QRC00001.JOB) <(capture_text "$work"/captures/QRC00001.JOB) >"$work/capture.diff" ||
    fail "the 16-bit path's capture differs from the 32-bit path's: $(head -n 6 "$work/capture.diff")"
listings=0
for listing in "$work"/direct/*.txt; do
    listings=$((listings + 1))
    diff <(normalize "$listing") <(normalize "$work/via16/${listing##*/}") >"$work/listing.diff" ||
        fail "via16/${listing##*/} differs from the 32-bit path's: $(head -n 5 "$work/listing.diff")"
done
[ "$listings" -gt 0 ] || fail "the 32-bit path left no listings"

# Pages: one compare over every pair, each pair under one name in two folders.
pair=0
add_pair()
{
    pair=$((pair + 1))
    cp "$1" "$work/left/pair$pair.emf"
    cp "$2" "$work/right/pair$pair.emf" 2>/dev/null || fail "missing: $2"
}
page=0
for job in "${jobs[@]}"; do
    name=$(basename "$job" .job)
    for emf in $(ls "$work/direct/$name"-page*.emf | sort -V); do
        page=$((page + 1))
        add_pair "$emf" "$work/via16/${emf##*/}"
        add_pair "$emf" "$work/captured/${emf##*/}"
        add_pair "$work/captured/${emf##*/}" "$(ls "$work"/replayed/QRC*-page$page.emf)"
    done
done
"$wine_run" win32 "$driver" --compare "$work/left" "$work/right" --out "$work/marks" >"$work/compare.log" 2>&1 ||
    fail "pages differ between the paths: $(grep -v ' 0 differ' "$work/compare.log" | head -n 8)"

# The negative control: raw 16:16 pointers reach the DLL, which faults, in
# the second call (the first made the spool file, which the failure deletes).
status=0
run wrong --via16-wrong-mask=2 --out "$work/wrong" "$samples/label.job" || status=$?
[ "$status" -eq 1 ] || fail "a wrong conversion mask exited $status, expected 1"
grep -q 'label.job:[0-9]*: GetEmfFileDC32 returned' "$work/wrong.log" ||
    fail "a wrong conversion mask's failure names no job line: $(cat "$work/wrong.log")"
grep -q 'stopped during call 2, GetEmfFileDC32' "$work/wrong.log" ||
    fail "a wrong conversion mask's failure names no call: $(cat "$work/wrong.log")"
[ -z "$(ls "$work/wrong" 2>/dev/null)" ] || fail "a failed 16-bit run kept files of its page"

# The worked example, run where LoadLibraryEx32W finds QUILLREC.DLL: its folder.
home=${QUILLREC_WINE_HOME:-${XDG_CACHE_HOME:-$HOME/.cache}/quillrec}
folder=$(cd "$(dirname "$driver")" && pwd)
(cd "$folder" && "$wine_run" win32 "$folder/example16.exe") >"$work/example.log" 2>&1 || true
spool=$(tr -d '\r' <"$work/example.log" | grep -i '^[a-z]:\\.*\.tmp$' | head -n 1 || true)
unix_spool=$home/prefix32/drive_c/$(echo "${spool#?:\\}" | tr '\\' /)
if [ -z "$spool" ]; then
    fail "the worked example named no spool file: $(cat "$work/example.log")"
elif [ "$(od -An -tx1 -j40 -N4 "$unix_spool" 2>/dev/null | tr -d ' ')" != 20454d46 ]; then
    fail "the worked example's spool file $unix_spool is no enhanced metafile"
fi
[ -z "$spool" ] || rm -f "$unix_spool"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; see $work" >&2
    exit 1
fi
echo "16-bit path: ${#jobs[@]} jobs and their capture, $pair page pairs the same as the 32-bit path's"
