#!/usr/bin/env bash
# The release check must pass on the release as made, and fail on each way
# a download can go wrong: a file changed after its sum was taken, a file
# missing, a stray file beside them, a sum line lost, a package of another
# version.
#
#   tests/release_check_test.sh DIST
set -euo pipefail
dist=$(realpath "$1")
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(d88cut VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

verdict() {  # WHAT EXPECTED: runs the check on $scratch/dist
    local what=$1 expected=$2 status=0
    bash tests/release_check.sh "$scratch/dist" "$version" >"$scratch/said" 2>&1 || status=$?
    if { [ "$expected" = pass ] && [ $status -eq 0 ]; } || { [ "$expected" = fail ] && [ $status -ne 0 ]; }; then
        echo "release check test: ok: $what"
    else
        echo "release check test: FAILED: $what: the check should $expected; it said:"
        cat "$scratch/said"
        failed=$((failed + 1))
    fi
}
fresh() {
    rm -rf "$scratch/dist" && cp -r "$dist" "$scratch/dist"
}

fresh
verdict "the release as made passes" pass
fresh
printf ' ' >>"$scratch/dist/d88cut.html"
verdict "a page changed after its sum was taken fails" fail
fresh
rm "$scratch/dist/d88cut-$version-win64.zip"
verdict "a missing zip fails" fail
fresh
touch "$scratch/dist/notes.txt"
verdict "a stray file fails" fail
fresh
sed -i '/\.deb$/d' "$scratch/dist/SHA256SUMS"
verdict "a package with no sum fails" fail
fresh
deb=$(ls "$scratch/dist"/*.deb)
mv "$deb" "${deb/_${version}_/_0.0.1_}"
verdict "a package named for another version fails" fail

[ "$failed" -eq 0 ]
