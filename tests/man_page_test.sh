#!/bin/sh
# Shows the built manual page as man shows it, in the C locale and in a
# UTF-8 one: troff must not warn in either, the version must be on it, and
# the early-version message must read in Japanese where UTF-8 can show it
# and be explained in English everywhere.
#
#   man_page_test.sh PAGE VERSION
set -u
page=$1
version=$2
status=0

# As one line, blanks squeezed: a phrase may be broken or justified.
show() { LC_ALL=$1 MANWIDTH=80 man -l "$page" 2>&1 | tr -s ' \n' '  '; }
expect() {  # LOCALE TEXT
    show "$1" | grep -qF -- "$2" || { echo "not on the page in $1: $2"; status=1; }
}

for locale in C C.UTF-8; do
    warnings=$(LC_ALL=$locale MANWIDTH=80 man -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "man -l in $locale says:"; echo "$warnings"; status=1; }
    expect "$locale" "d88cut $version"
    expect "$locale" "This seems to be an early version."
    expect "$locale" "The Start Disk is its early version"
done
expect C "[Japanese text]"
expect C.UTF-8 "これはどうやら初期バージョンっぽいです."
exit $status
