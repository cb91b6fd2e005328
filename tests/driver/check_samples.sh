#!/usr/bin/env bash
# Runs every sample job through the driver simulator under Wine and checks
# what a spooler would rely on:
#   - the run succeeds and each page leaves its .emf, .txt listing, .png and
#     printed .ps, and each job a summary line; --check calls a good job fine;
#   - each job's PDF has one page per spool file and its Latin text, and each
#     listing names the device the page recorded against, and the chart says
#     where its PDF differs from its picture;
#   - the listing puts each record under the request that made it, names
#     stock objects and notes Wine's monochrome pattern playback fault;
#   - compare finds two runs the same, two pages different (with a picture
#     of the differences) and a cut-short file bad input; under win32 the
#     pages compare the same as the win64 DLL's, when those are there;
#   - the driver itself read each spool file back with GetEnhMetaFile (it
#     fails the job otherwise) and left no temporary spool file behind;
#   - emf2svg-conv, an independent EMF reader, accepts every spool file;
#   - input the DLL does not use by its rules draws a warning naming the line;
#   - a job with a syntax error exits 2 and calls nothing; a job that fails
#     while running exits 1, names the page that failed and keeps the pages
#     finished before it.
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

. "$here/../checks.sh"

for tool in emf2svg-conv gs pdfinfo pdftotext; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAIL: $tool is missing; run scripts/setup" >&2
        exit 1
    fi
done

# Text each sample's PDF must hold as text: straight lines in Latin letters.
# (Turned, letter-spaced, clipped and glyph-index text need not come out
# whole; Japanese text does not come out at all.)
declare -A pdf_text=(
    [chart]="Quarterly sales 2024|All regions, thousands of units"
    [form]="Quill & Ledger Supplies|Northwind Printing Ltd.|INVOICE"
    [label]="Quill & Ledger Supplies|Tokyo 105-0011, JAPAN"
    [notice]="Certificate of Completion|Ada Whitlock"
)

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
expect_line()
{
    # expect_line FILE PATTERN WHAT: fail unless FILE has a line matching PATTERN
    tr -d '\r' <"$1" | grep -E "$2" >/dev/null || fail "$3: no line matching '$2' in $1"
}
# check_pdf JOB PAGES: the job's printed pages make a PDF of PAGES pages
# that holds the job's Latin text
check_pdf()
{
    local name=$1 pages=$2 count phrase
    if ! "$root/scripts/pages-to-pdf" "$work/out" "$name"; then
        fail "$name: no PDF from its printed pages"
        return 0
    fi
    count=$(pdfinfo "$work/out/$name.pdf" | sed -n 's/^Pages: *//p')
    [ "$count" = "$pages" ] || fail "$name: the PDF has ${count:-no} page(s), expected $pages"
    [ -n "${pdf_text[$name]:-}" ] || fail "$name: no text to look for in its PDF (add a row to pdf_text)"
    pdftotext "$work/out/$name.pdf" "$work/out/$name.pdf.txt"
    IFS='|' read -ra phrases <<<"${pdf_text[$name]:-}"
    for phrase in "${phrases[@]}"; do
        grep -qF "$phrase" "$work/out/$name.pdf.txt" || fail "$name: the PDF's text lacks '$phrase'"
    done
}

for job in "${jobs[@]}"; do
    name=$(basename "$job" .job)
    pages=$(tr -d '\r' <"$work/check.log" | sed -n "s|.*/$name.job: fine: .* requests, \([0-9]*\) pages|\1|p")
    if [ -z "$pages" ] || [ "$pages" -lt 1 ]; then
        fail "$name: no page count from --check"
        continue
    fi
    expect_line "$work/run.log" "^job $name: $pages page\(s\), [0-9]+ requests, [0-9]+ records, 0 warning\(s\), 0 failure" "$name"
    for page in $(seq 1 "$pages"); do
        base=$work/out/$name-page$page
        for ext in emf txt png ps; do
            [ -s "$base.$ext" ] || fail "$name page $page: $base.$ext is missing or empty"
        done
        [ -f "$base.emf" ] || continue
        # the listing ends with the spool file's EOF record, as GDI enumerated it
        grep -q 'EMR_EOF' "$base.txt" || fail "$name page $page: the listing has no EMR_EOF"
        expect_line "$base.txt" '^# recorded against "[^"]+": [0-9]+x[0-9]+ dpi, printable [0-9]+x[0-9]+ pixels' "$name page $page"
        grep -qa "recorded against" "$base.png" || fail "$name page $page: the picture does not name its device"
        # every transfer and text request of a sample records its drawing
        silent=$(tr -d '\r' <"$base.txt" | awk '
            function check() { if (call != "" && !drawn) print call }
            /^line [0-9]+: / { check(); call = ""; drawn = 0 }
            /^line [0-9]+: (Raster32|Dib32|TextOut32)\(/ { call = $0 }
            /EMR_(STRETCHDIBITS|BITBLT|STRETCHBLT|EXTTEXTOUT)/ { drawn = 1 }
            END { check() }')
        [ -z "$silent" ] || fail "$name page $page: requests that recorded no drawing: $silent"
        if ! emf2svg-conv -i "$base.emf" -o "$base.svg" >"$base.emf2svg.log" 2>&1 || [ ! -s "$base.svg" ]; then
            cat "$base.emf2svg.log" >&2
            fail "$name page $page: emf2svg-conv does not accept $base.emf"
        fi
    done
    check_pdf "$name" "$pages"
    echo "ok: $name ($pages page(s))"
done
[ -z "$(find "$work/out" -name '*.bmp')" ] || fail "a .bmp was left behind"

# ---- the listing: a Bezier request's record right under its call; stock
# objects by name; the monochrome pattern brush with Wine's playback note
listing=$work/out/chart-page1.txt
call=$(tr -d '\r' <"$listing" | awk '/^line [0-9]+: /{call=$0} /EMR_POLYBEZIER16/ && !found{found=call} END{print found}')
[[ "$call" == *"Output32(OUT_BEZIER"* ]] || fail "chart: the EMR_POLYBEZIER16 record is under '$call', not its Output32"
expect_line "$listing" 'EMR_SELECTOBJECT +12 stock NULL_BRUSH' "chart listing"
expect_line "$listing" 'note: Wine plays monochrome pattern brushes' "chart listing"
# where the printed page differs: under the record in the listing, once per
# case and page in the run's summary
expect_line "$listing" '^ +printed: the PDF leaves out this DSTINVERT blit' "chart listing"
expect_line "$work/run.log" '^note: chart page 1: the PDF leaves out this DSTINVERT blit' "chart summary"
grep -q '0x8000000' "$listing" && fail "chart listing: a stock object shown as a number"

# ---- compare: a second run is the same; two different pages differ, with
# a picture of the differences; a cut-short file is bad input
compare()
{
    # compare EXPECTED_STATUS A B: runs --compare, fails on another status
    local status=0
    "$wine_run" "$arch" "$driver" --compare "$2" "$3" --out "$work/marks" >"$work/compare.log" 2>&1 || status=$?
    [ "$status" -eq "$1" ] || fail "compare $2 $3: exit $status, expected $1: $(cat "$work/compare.log")"
}
"$wine_run" "$arch" "$driver" --out "$work/again" "${jobs[@]}" >"$work/again.log" 2>&1 || fail "second run failed"
compare 0 "$work/out" "$work/again"
compare 1 "$work/out/form-page1.emf" "$work/out/form-page2.emf"
expect_line "$work/compare.log" '^    A: +EMR_' "compare of two pages"
[ -s "$work/marks/form-page1-diff.png" ] || fail "compare left no picture of the differing pixels"
head -c 3000 "$work/out/form-page1.emf" >"$work/cut.emf"
compare 2 "$work/out/form-page1.emf" "$work/cut.emf"
expect_line "$work/compare.log" 'cut short' "compare of a cut-short file"
# the shipped i686 DLL records what the 64-bit one does
win64_out=$root/build/win64/driver_samples/out
if [ "$arch" = win32 ]; then
    if [ -d "$win64_out" ]; then
        compare 0 "$win64_out" "$work/out"
    else
        echo "SKIP: no win64 recording in $win64_out to compare the i686 DLL's against"
    fi
fi

# ---- input the DLL does not use: a warning naming the line; the job runs
"$wine_run" "$arch" "$driver" --out "$work/unused" "$here/unused-input.job" >"$work/unused.log" 2>&1 ||
    fail "unused-input.job failed: $(cat "$work/unused.log")"
for line in 5 6 7 8; do expect_line "$work/unused.log" "unused-input.job:$line: warning: " unused-input.job; done
expect_line "$work/unused.log" '^job unused-input: .* 4 warning\(s\)' unused-input.job

# ---- legal but probably not meant: one warning each, naming the line
"$wine_run" "$arch" "$driver" --out "$work/mistakes" "$here/mistakes.job" >"$work/mistakes.log" 2>&1 ||
    fail "mistakes.job failed: $(cat "$work/mistakes.log")"
expect_line "$work/mistakes.log" 'mistakes.job:5: warning: OUT_POLYLINE of 1 point' mistakes.job
expect_line "$work/mistakes.log" 'mistakes.job:6: warning: clip rectangle 100,100,50,50 is inverted' mistakes.job
expect_line "$work/mistakes.log" 'mistakes.job:7: warning: point 9000,10 lies far outside the page' mistakes.job
expect_line "$work/mistakes.log" 'mistakes.job:8: warning: style 0x0099 .* draws no shape' mistakes.job
expect_line "$work/mistakes.log" 'mistakes.job:9: warning: font arial: GDI has no face "Arial"' mistakes.job
# the close a job's end adds comes after the last request's records
tail_calls=$(tr -d '\r' <"$work/mistakes/mistakes-page1.txt" | awk '/EMR_EXTTEXTOUT/{drawn=NR} /CloseEmfFile32/{closed=NR} END{print (drawn < closed)}')
[ "$tail_calls" = 1 ] || fail "mistakes.job: the listing puts the text's records after the close"

# ---- --check goes on past a bad job: every job reported, status 2
status=0
"$wine_run" "$arch" "$driver" --check "$samples/chart.job" "$here/bad-syntax.job" "$samples/label.job" \
    >"$work/check-three.log" 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "--check over a bad job: exit $status, expected 2"
expect_line "$work/check-three.log" 'label.job: fine' "--check after a bad job"
expect_line "$work/check-three.log" '^checked 3 job\(s\): 2 fine, 1 with errors' "--check summary"

# ---- compare lines records up: an inserted, a removed and a changed request,
# each named with its job line on both sides
mkdir -p "$work/variants"
cp "$samples"/* "$work/variants/"
sed '64i output rectangle 300,10 360,60 pen=none brush=white' "$samples/label.job" >"$work/variants/inserted.job"
sed '63s/Portsmouth/Southsea/' "$samples/label.job" >"$work/variants/changed.job"
"$wine_run" "$arch" "$driver" --out "$work/variants/out" "$work/variants/label.job" "$work/variants/inserted.job" \
    "$work/variants/changed.job" >"$work/variants.log" 2>&1 || fail "the compare variants failed to run"
v=$work/variants/out
compare 1 "$v/label-page1.emf" "$v/inserted-page1.emf"
expect_line "$work/compare.log" 'record\(s\) only in B \(inserted\): B record [0-9]+, line 64: Output32\(OUT_RECTANGLE' "an inserted request"
expect_line "$work/compare.log" 'records: [0-9]+ and [0-9]+, 0 differ, [0-9]+ only in B$' "an inserted request"
compare 1 "$v/inserted-page1.emf" "$v/label-page1.emf"
expect_line "$work/compare.log" 'only in A \(removed\): A record [0-9]+, line 64: Output32' "a removed request"
compare 1 "$v/label-page1.emf" "$v/changed-page1.emf"
expect_line "$work/compare.log" 'differs: A record [0-9]+, line 63: TextOut32' "a changed request"
expect_line "$work/compare.log" '^ +B record [0-9]+, line 63: TextOut32' "a changed request"

# ---- a syntax error: exit 2, file:line in the message, nothing started
status=0
"$wine_run" "$arch" "$driver" --verbose --out "$work/bad" "$here/bad-syntax.job" >"$work/bad-syntax.log" 2>&1 ||
    status=$?
[ "$status" -eq 2 ] || fail "bad-syntax.job: exit status $status, expected 2"
grep -q 'bad-syntax.job:6: .*expected 2' "$work/bad-syntax.log" ||
    fail "bad-syntax.job: no 'bad-syntax.job:6:' message: $(cat "$work/bad-syntax.log")"
grep -q '^started ' "$work/bad-syntax.log" && fail "bad-syntax.job: a spool file was started"

# ---- a failure while running: exit 1, the failing page named, page 1 kept
status=0
"$wine_run" "$arch" "$driver" --verbose --out "$work/bad" "$here/bad-run.job" >"$work/bad-run.log" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "bad-run.job: exit status $status, expected 1"
expect_line "$work/bad-run.log" 'bad-run.job:9: SetClipRect32 returned 0, expected -1 \(page 2 failed; page 1 is kept\)' bad-run.job
expect_line "$work/bad-run.log" '^job bad-run: 1 page\(s\), .* 1 failure\(s\) \(page 2\)' bad-run.job
check_started_gone "$work/bad-run.log"
kept=$(cd "$work/bad" && ls | tr '\n' ' ')
[ "$kept" = "bad-run-page1.emf bad-run-page1.png bad-run-page1.ps bad-run-page1.txt " ] || fail "bad-run.job left '$kept', expected page 1 alone"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all samples recorded, listed, compared, read back and accepted by emf2svg-conv; a failing job kept its finished pages"
