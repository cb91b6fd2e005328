#!/usr/bin/env bash
# The same sources built twice give the same images, byte for byte: builds the
# shipped and the capture DLL in two scratch folders (different names and
# depths, so a folder name that leaked into an image shows) and compares them.
#   reproducible.sh SOURCE_DIR TOOLCHAIN_FILE SCRATCH_DIR [-DNAME=VALUE...]
# The cache settings given (the vendor's strings) go to both builds.
set -euo pipefail

source=$1 toolchain=$2 scratch=$3
shift 3
rm -rf "$scratch"
builds=("$scratch/repro-first" "$scratch/deeper/repro-second-build")
for build in "${builds[@]}"; do
    mkdir -p "$build"
    { cmake -S "$source" -B "$build" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "$@" &&
      cmake --build "$build" -j2 --target QUILLREC QUILLREC_capture; } >"$build.log" 2>&1 ||
        { tail -n 30 "$build.log"; echo "FAIL: the build in $build failed"; exit 1; }
done

status=0
for image in QUILLREC.dll capture/QUILLREC.dll; do
    cmp "${builds[0]}/$image" "${builds[1]}/$image" ||
        { echo "FAIL: $image differs between two builds of the same sources"; status=1; }
    for build in "${builds[@]}"; do
        ! grep -q -a -F -e "$source" -e "$(basename "$build")" "$build/$image" ||
            { echo "FAIL: $build/$image holds a source or build folder's name"; status=1; }
    done
    echo "$image: $(stat -c %s "${builds[0]}/$image") bytes, sha256 $(sha256sum "${builds[0]}/$image" | cut -c1-16)..."
done
[ $status = 1 ] || rm -rf "$scratch"
exit $status
