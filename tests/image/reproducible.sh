#!/usr/bin/env bash
# The same sources built twice give the same images, byte for byte: builds the
# shipped and the capture DLL in two scratch folders (different names and
# depths, so a build path that leaked into an image shows) and compares them.
#   reproducible.sh SOURCE_DIR TOOLCHAIN_FILE SCRATCH_DIR [-DNAME=VALUE...]
# The cache settings given (the vendor's strings) go to both builds.
set -euo pipefail

source=$1 toolchain=$2 scratch=$3
shift 3
images=(QUILLREC.dll capture/QUILLREC.dll)

rm -rf "$scratch"
builds=("$scratch/repro-first" "$scratch/deeper/repro-second-build")
for build in "${builds[@]}"; do
    mkdir -p "$build"
    if ! { cmake -S "$source" -B "$build" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
               -DCMAKE_BUILD_TYPE=Release "$@" &&
           cmake --build "$build" -j2 --target QUILLREC QUILLREC_capture; } >"$build.log" 2>&1; then
        echo "FAIL: the build in $build failed; the end of $build.log:"
        tail -n 30 "$build.log"
        exit 1
    fi
done

status=0
for image in "${images[@]}"; do
    one=${builds[0]}/$image second=${builds[1]}/$image
    if ! cmp "$one" "$second"; then
        echo "FAIL: $image differs between two builds of the same sources"
        status=1
    fi
    for build in "${builds[@]}"; do
        if grep -q -a -F -e "$build" -e "$source" -e "$(basename "$build")" "$build/$image"; then
            echo "FAIL: $build/$image holds a build or source folder's name"
            status=1
        fi
    done
    [ $status = 0 ] && echo "same: $image, $(stat -c %s "$one") bytes, sha256 $(sha256sum "$one" | cut -c1-16)..."
done
[ $status = 0 ] && rm -rf "$scratch"
exit $status
