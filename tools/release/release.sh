#!/usr/bin/env bash
# Makes a release: the files a person downloads, each built afresh from the
# committed sources and checked, with their SHA-256 sums, in DIST (dist/ of
# the checkout by default):
#
#   d88cut.html                 the page: open it in a browser, nothing to install
#   d88cut_VERSION_ARCH.deb     the Debian package
#   d88cut-VERSION-win64.zip    the Windows programs, their manuals and the page
#   d88cut-VERSION.tar.gz       the sources
#   SHA256SUMS                  check them with: sha256sum -c SHA256SUMS
#
#   tools/release/release.sh [DIST]
#
# The sources are taken from git's HEAD (uncommitted changes are refused),
# unpacked in a scratch folder and built there, so nothing of an earlier
# build of the checkout can slip in. Needs what the builds need: see
# doc/BUILDING.md; .ci/run installs all of it.
set -euo pipefail
checkout=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(realpath -m "${1:-$checkout/dist}")

fail() {
    echo "release: $*" >&2
    exit 1
}

for tool in git cmake emcc npm x86_64-w64-mingw32-g++-posix wine cpack dpkg-deb file unzip sha256sum; do
    command -v "$tool" >/dev/null || fail "needs $tool; see doc/BUILDING.md for the packages"
done
cd "$checkout"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    fail "the checkout has uncommitted changes; a release is made of committed sources only"

version=$(sed -n 's/^project(d88cut VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt's project()"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
src=$scratch/d88cut-$version

step() {
    echo "== release: $*"
}

step "sources d88cut-$version.tar.gz from $(git rev-parse --short HEAD)"
git archive --format=tar.gz --prefix="d88cut-$version/" -o "$scratch/d88cut-$version.tar.gz" HEAD
tar -xzf "$scratch/d88cut-$version.tar.gz" -C "$scratch"
cd "$src"

step "native programs"
cmake -S . -B build -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null

step "the page"
cmake --preset web >/dev/null
cmake --build --preset web -j"$(nproc)" >/dev/null
page=$src/build-web/d88cut.html
size=$(stat -c %s "$page")
[ "$size" -lt 1000000 ] || fail "the page is $size bytes, not under 1 MB"
# The page cuts and reports as the native programs do, file by file, and
# axe-core (at the version web/package-lock.json pins) finds nothing in it.
(cd web && npm ci --ignore-scripts --no-audit --no-fund >/dev/null) ||
    fail "npm ci in web/ failed: the page test needs axe-core"
/usr/bin/python3 tests/web/page_test.py "$page" build tests/data fuzz/seeds/run >/dev/null ||
    fail "the page does not give what the native programs give (run tests/web/page_test.py)"

# Runs D88CUT... in a new folder DIR on the sample set; its stdout to DIR.txt.
cut_sample_set() {
    mkdir "$1" && (cd "$1" && "${@:2}" "$scratch/set.d88" > "$1.txt")
}
build/make_sample_set "$scratch/set.d88" >/dev/null
cut_sample_set "$scratch/native" "$src/build/d88cut"

step "the Debian package"
cmake -S . -B build -DD88CUT_WEB_PAGE="$page" >/dev/null
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/d88cut_"$version"_*.deb)
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/d88cut ./usr/bin/d88scan ./usr/share/man/man1/d88cut.1.gz \
    ./usr/share/man/man1/d88scan.1.gz ./usr/share/man/ja/man1/d88cut.1.gz \
    ./usr/share/man/ja/man1/d88scan.1.gz ./usr/share/doc/d88cut/copyright \
    ./usr/share/d88cut/d88cut.html; do
    grep -q " $path\$" <<<"$contents" || fail "no $path in $deb"
done
[ "$(dpkg-deb -f "$deb" Package Version)" = "Package: d88cut
Version: $version" ] || fail "$deb is not d88cut $version"
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" || fail "lintian finds fault with $deb"
fi
dpkg-deb -x "$deb" "$scratch/root"
file "$scratch/root/usr/bin/d88cut" | grep -q ', stripped' || fail "d88cut in $deb is not stripped"
cmp -s "$page" "$scratch/root/usr/share/d88cut/d88cut.html" || fail "the page in $deb is not the page built"
cut_sample_set "$scratch/packaged" "$scratch/root/usr/bin/d88cut"
diff -r "$scratch/native" "$scratch/packaged" >/dev/null && cmp -s "$scratch/native.txt" "$scratch/packaged.txt" ||
    fail "d88cut from $deb does not cut the sample set as the native build does"

step "the Windows zip"
# One wine prefix, in the build folder, for the build and the check alike.
export WINEPREFIX=$src/build-windows/wine
cmake --preset windows -DBUILD_TESTING=OFF -DD88CUT_WEB_PAGE="$page" >/dev/null
cmake --build --preset windows -j"$(nproc)" >/dev/null
(cd build-windows && cpack >/dev/null)
zip=build-windows/d88cut-$version-win64.zip
unzip -q "$zip" -d "$scratch/zip"
folder=$scratch/zip/d88cut-$version-win64
for name in d88cut.exe d88scan.exe d88cut.html README.txt README-ja.txt LICENSE.txt d88cut.txt d88scan.txt; do
    [ -f "$folder/$name" ] || fail "no $name in $zip"
done
cmp -s "$page" "$folder/d88cut.html" || fail "the page in $zip is not the page built"
for exe in "$folder"/*.exe; do
    x86_64-w64-mingw32-objdump -h "$exe" | grep -q debug_info && fail "$(basename "$exe") in $zip is not stripped"
    for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p'); do
        case ${dll,,} in
            kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | shell32.dll | ntdll.dll) ;;
            *) fail "$(basename "$exe") in $zip needs $dll, which Windows does not have" ;;
        esac
    done
done
cut_sample_set "$scratch/windows" "$src/cmake/wine-run.sh" "$folder/d88cut.exe"
# The same files byte for byte, and the same lines but for the CR LF that
# ends each on Windows.
diff -r "$scratch/native" "$scratch/windows" >/dev/null ||
    fail "d88cut.exe from $zip does not write the sample set's files as the native build does"
tr -d '\r' < "$scratch/windows.txt" | cmp -s "$scratch/native.txt" - ||
    fail "d88cut.exe from $zip does not say what the native build says on the sample set"

step "$dist"
mkdir -p "$dist"
rm -f "$dist"/d88cut* "$dist/SHA256SUMS"
cp "$page" "$deb" "$zip" "$scratch/d88cut-$version.tar.gz" "$dist/"
(cd "$dist" && sha256sum d88cut* > SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
bash "$checkout/tests/release_check.sh" "$dist" "$version"
ls -l "$dist"
