#!/bin/sh
# Shows the built manual page as man shows it, in the C locale and in a
# UTF-8 one: troff must not warn in either, the version must be on it, and
# the early-version message must read in Japanese where UTF-8 can show it
# and be explained in English everywhere.
#
#   man_page_test.sh PAGE VERSION
#
# With --japanese, checks a Japanese page against its English one: it must
# set without a warning, as man sets it in a Japanese locale and as man -l
# does in any UTF-8 one (the page loads groff's Japanese line breaking
# itself), carry the version, and name every message and fixed line form
# the English page names: the tag of each .TP, .TQ or .RS item written in
# bold (.B, .BI, or .Jm with its Japanese text), line for line.
#
#   man_page_test.sh --japanese JAPANESE_PAGE ENGLISH_PAGE VERSION
set -u
status=0

if [ "$1" = --japanese ]; then
    page=$2 english=$3 version=$4
    warnings=$(groff -ww -z -k -Tutf8 -man "$page" 2>&1)
    [ -z "$warnings" ] || { echo "groff says of $page:"; echo "$warnings"; status=1; }
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "man -l in C.UTF-8 says of $page:"; echo "$warnings"; status=1; }
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep -qF "d88cut $version" ||
        { echo "not on $page: d88cut $version"; status=1; }
    tags=$(awk '/^\.(TP|TQ|RS)/ { item = 1; next }
                item && /^\.(B|BI|Jm) / { print }
                { item = 0 }' "$english" |
           sed 's/^\.Jm \("[^"]*"\) .*/.B \1/')
    [ -n "$tags" ] || { echo "no message lines found in $english"; status=1; }
    printf '%s\n' "$tags" | {
        missing=0
        while IFS= read -r tag; do
            grep -qxF -- "$tag" "$page" || { echo "in $english, not in $page: $tag"; missing=1; }
        done
        exit $missing
    } || status=1
    exit $status
fi

page=$1
version=$2

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
