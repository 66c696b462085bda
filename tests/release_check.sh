#!/usr/bin/env bash
# Checks a release folder as a person who downloads it would: exactly the
# five files, each named for VERSION, each matching SHA256SUMS; the source
# archive holding exactly the files git tracks at HEAD, under one folder; the
# package and the zip carrying VERSION.
#
#   tests/release_check.sh DIST VERSION
set -euo pipefail
dist=$1
version=$2
cd "$(dirname "$0")/.."
checks=0
failed=0
check() {  # WHAT COMMAND...: one check, said when it fails
    local what=$1
    shift
    checks=$((checks + 1))
    if ! "$@" >/dev/null 2>&1; then
        echo "release check failed: $what" >&2
        failed=$((failed + 1))
    fi
}

arch=$(dpkg --print-architecture)
expected="SHA256SUMS
d88cut-$version-win64.zip
d88cut-$version.tar.gz
d88cut.html
d88cut_${version}_$arch.deb"
check "the folder holds exactly the five files" test "$(ls "$dist" | LC_ALL=C sort)" = "$expected"
check "SHA256SUMS names the four others" \
    test "$(awk '{print $2}' "$dist/SHA256SUMS" | LC_ALL=C sort | paste -sd' ')" = \
         "$(grep -v SHA256SUMS <<<"$expected" | LC_ALL=C sort | paste -sd' ')"
check "every file matches SHA256SUMS" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
tar -tzf "$dist/d88cut-$version.tar.gz" | sed -n "s|^d88cut-$version/||p" | grep -v '/$' | grep -v '^$' |
    LC_ALL=C sort > "$listing"
check "the source archive holds exactly the files of HEAD" \
    cmp -s "$listing" <(git ls-tree -r --name-only HEAD | LC_ALL=C sort)
check "the package is d88cut $version" \
    test "$(dpkg-deb -f "$dist/d88cut_${version}_$arch.deb" Version)" = "$version"
check "the zip holds one folder, d88cut-$version-win64" \
    test "$(unzip -Z1 "$dist/d88cut-$version-win64.zip" | cut -d/ -f1 | sort -u)" = "d88cut-$version-win64"
check "the page names $version" grep -q "d88cut $version" "$dist/d88cut.html"

echo "release check: $((checks - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
