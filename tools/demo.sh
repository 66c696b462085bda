#!/bin/sh
# Runs d88cut on the sample disk set in DIR and shows what it did: the
# messages, turned from Shift-JIS into UTF-8 where iconv is at hand, and
# the files it wrote. A cross build names the emulator that runs its
# programs (wine) after DIR.
#
#   demo.sh D88CUT DIR [EMULATOR...]
set -eu
d88cut=$1
dir=$2
shift 2
cd "$dir"
# Start from the sample alone, so every file listed below is this run's.
find . -mindepth 1 -maxdepth 1 ! -name sample-set.d88 -exec rm -rf {} +

status=0
"$@" "$d88cut" sample-set.d88 > d88cut-stdout.txt || status=$?
if command -v iconv > /dev/null 2>&1; then
    iconv -f CP932 -t UTF-8 d88cut-stdout.txt
else
    cat d88cut-stdout.txt
fi
echo
echo "d88cut exited with status $status; the files it wrote, in $dir:"
# Plain POSIX sh and ls, as on macOS and the BSDs: the demo's own two
# files are left out of the list by name.
set --
for name in *; do
    case $name in
        sample-set.d88 | d88cut-stdout.txt) ;;
        *) set -- "$@" "$name" ;;
    esac
done
[ $# -eq 0 ] || ls -l "$@"
exit "$status"
