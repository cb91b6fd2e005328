#!/usr/bin/env bash
# The read rules under Wine: quillrec_read_guard through the real DLL, then
# through the capture DLL, whose capture must replay.
#   read_guard.sh win64|win32 quillrec_read_guard.exe REAL_DLL CAPTURE_FOLDER quillrec_driver.exe WORK_FOLDER
set -euo pipefail
arch=$1 guard=$2 real=$3 capture=$4 driver=$5 work=$6
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_run=$here/../../scripts/wine-run
. "$here/../checks.sh"
rm -rf "$work"
mkdir -p "$work/captures"
"$wine_run" "$arch" "$guard" "$(windows_path "$real")"
QUILLREC_CAPTURE=$(windows_path "$work/captures") "$wine_run" "$arch" "$guard" "$(windows_path "$capture/QUILLREC.dll")"
captured=("$work"/captures/QRC*.JOB)
[ "${#captured[@]}" -eq 1 ] || { echo "FAIL: expected one capture file, found ${#captured[@]}" >&2; exit 1; }
"$wine_run" "$arch" "$driver" --dll "$real" --no-listing --out "$work/replayed" "${captured[0]}"
