#!/bin/sh
# Fetches the zip library the page inlines into web/vendor/, at the version
# and with the integrity web/package-lock.json records, with its licence.
# The page's build reads only the vendored copy, so building needs no
# network; run this again after changing the version in web/package.json
# and refreshing the lock (npm install --package-lock-only in web/).
#
# Needs node and npm (to read the lock and fetch the package from the npm
# registry) and openssl (to check the package against the lock's
# integrity): apt-get install -y nodejs npm openssl
set -eu
cd "$(dirname "$0")/../../web"

missing=
for tool in node npm openssl tar base64; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "vendor-fflate: needs$missing to fetch and check the zip library;" \
         "apt-get install -y nodejs npm openssl" >&2
    exit 1
fi

lock_field() {
    node -e 'const p = require("./package-lock.json").packages["node_modules/fflate"];
             process.stdout.write(String(p[process.argv[1]]))' "$1"
}
version=$(lock_field version)
integrity=$(lock_field integrity)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! tarball=$(npm pack --silent --pack-destination "$work" "fflate@$version" 2>"$work/npm.log"); then
    echo "vendor-fflate: npm could not fetch fflate@$version from the npm registry:" >&2
    sed 's/^/  /' "$work/npm.log" >&2
    echo "vendor-fflate: check the network and npm's registry setting (npm config get registry)" >&2
    exit 1
fi
actual="sha512-$(openssl dgst -sha512 -binary "$work/$tarball" | base64 -w0)"
if [ "$actual" != "$integrity" ]; then
    echo "vendor-fflate: $tarball is $actual, the lock says $integrity" >&2
    exit 1
fi
tar -xzf "$work/$tarball" -C "$work"

rm -f vendor/fflate-*.min.js
# The UMD build defines the one global `fflate` that the page's script uses.
cp "$work/package/umd/index.js" "vendor/fflate-$version.min.js"
cp "$work/package/LICENSE" vendor/LICENSE.fflate
echo "web/vendor/fflate-$version.min.js from $tarball ($integrity)"
