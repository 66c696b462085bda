#!/usr/bin/env bash
# Runs the Linux build of d88cut and the Windows build, under wine, side by
# side on the sample set, on damaged copies of it and on wrong command
# lines, and checks that they agree: the same exit status, the same files
# byte for byte, and the same messages but for the CR LF that ends every
# line on Windows. d88scan's two builds are compared on the same files.
#
# The second round does it all again under a Japanese locale, where wine's
# ANSI code page is 932, with a Japanese folder as the current directory and
# Japanese file names as input. The names hold ソ and 表, whose second
# Shift-JIS byte is a backslash. A name that does not come through the code
# page whole leaves the Windows run without its file, and the two disagree.
#
#   windows_check.sh LINUX_BUILD WINDOWS_BUILD [D88FILE...]
#
# Each D88FILE, such as the fuzz seed corpus, is compared on as well.
set -euo pipefail
linux_build=$(realpath "$1")
windows_build=$(realpath "$2")
make_sample_set=$linux_build/make_sample_set
shift 2
source_dir=$(dirname "$(realpath "$0")")/..
wine=$source_dir/cmake/wine-run.sh
# The Windows build's own wine prefix, as its tests use.
export WINEPREFIX=${WINEPREFIX:-$windows_build/wine}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
inputs=$scratch/inputs
mkdir "$inputs"

# The inputs: the set, and damage that reaches every message and outcome:
# files cut short anywhere, a missing track table, noise over sectors,
# an image size of 0, more images than the catalogue holds.
"$make_sample_set" "$inputs/set.d88"
"$make_sample_set" "$inputs/65-images.d88" 65
size=$(stat -c %s "$inputs/set.d88")
for cut in 600 100000 $((size / 3)) $((size / 2)) $((size * 3 / 4)) $((size - 1000)); do
    head -c "$cut" "$inputs/set.d88" >"$inputs/cut-at-$cut.d88"
done
le32() {  # FILE OFFSET
    od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '
}
overwrite() {  # FILE OFFSET COUNT BYTE
    head -c "$3" /dev/zero | tr '\0' "$4" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
start=0  # where each image begins; the Start Disk is the sixth
for image in 1 2 3 4 5; do start=$((start + $(le32 "$inputs/set.d88" $((start + 0x1C))))); done
cp "$inputs/set.d88" "$inputs/no-track-table.d88"
overwrite "$inputs/no-track-table.d88" $((start + 0x20)) 656 '\0'
for at in 1 2 3; do
    cp "$inputs/set.d88" "$inputs/noise-$at.d88"
    overwrite "$inputs/noise-$at.d88" $((start + at * 90000)) 4096 '\377'
done
cp "$inputs/set.d88" "$inputs/image-size-0.d88"
overwrite "$inputs/image-size-0.d88" $((0x1C)) 4 '\0'
: >"$inputs/empty.d88"
cp "$source_dir/tests/data/x1-sos-test.d88" "$inputs/real.d88"
for file in "$@"; do
    cp "$file" "$inputs/extra-$(basename "$file").d88"
done

failures=0
cases=0
fail() {
    echo "windows check, $round: $*"
    failures=$((failures + 1))
}

# The system's own reason at the end of an error line is its own to word
# ("No space left on device" here, "There is not enough space on the disk"
# there): the line must be there on both, the reason must be there, and
# the words may differ.
system_reason='s/^\(error: [^\r]*\|d88scan: cannot [^\r]*\): [^\r:]\+\(\r\?\)$/\1: REASON\2/'

# What a file holds, with every line ending as on Windows and the program
# named as PROGRAM in the usage line. The name of the input appears in
# messages as the program got it: in UTF-8 from Linux, in the code page
# from Windows; d88scan shows its bytes past ASCII as \xHH.
as_windows_writes() {  # FILE
    local text
    text=$(LC_ALL=C sed -e 's/^Usage: .* \[d88file\]$/Usage: PROGRAM [d88file]/' -e "$system_reason" "$1"; printf x)
    text=${text%x}
    text=${text//$'\n'/$'\r\n'}
    text=${text//"$(scan_escaped "$input_name")"/"$(scan_escaped "$input_name_cp932")"}
    printf '%s' "${text//"$input_name"/"$input_name_cp932"}"
}
scan_escaped() {  # TEXT
    printf '%s' "$1" | perl -pe 's/\\/\\\\/g; s/([^\x20-\x7e]|")/sprintf("\\x%02x", ord $1)/ge'
}
normalised() {  # FILE
    LC_ALL=C sed -e 's/^Usage: .* \[d88file\]\r$/Usage: PROGRAM [d88file]\r/' -e "$system_reason" "$1"
}

# Runs one build, in the folder BASE/SIDE holding INPUT under NAME, with
# the arguments ARG... (@DIR in them stands for that folder). stdout goes
# to $stdout_to where that is set.
run_side() {  # SIDE BASE INPUT NAME [ARG...]
    local side=$1 base=$2 input=$3 name=$4 status
    shift 4
    local dir=$base/$side
    rm -rf "$dir"
    mkdir -p "$dir"
    [ -z "$input" ] || cp "$input" "$dir/$name"
    local -a program=("$linux_build/$tool")
    [ $side = linux ] || program=(env "${wine_env[@]}" "$wine" "$windows_build/$tool.exe")
    status=0
    (cd "$dir" && "${program[@]}" "${@//@DIR/$dir}" >"${stdout_to:-$dir.out}" 2>"$dir.err") ||
        status=$?
    echo $status >"$dir.status"
}

# Prints, one a line, where the two builds disagree under BASE.
disagreements() {  # BASE
    local base=$1 stream
    [ "$(cat "$base/linux.status")" = "$(cat "$base/windows.status")" ] ||
        echo "exit status $(cat "$base/linux.status") on Linux, $(cat "$base/windows.status") on Windows"
    diff -r "$base/linux" "$base/windows" >/dev/null || echo "the files written differ"
    for stream in out err; do
        [ -f "$base/linux.$stream" ] || continue
        cmp -s <(as_windows_writes "$base/linux.$stream") <(normalised "$base/windows.$stream") ||
            echo "std$stream differs"
    done
}

# Runs both builds on INPUT under NAME with ARG... and compares what they
# did. On a loaded machine wine has now and then given one case in some
# hundreds another status or output, each time a different case, one that
# agrees when run again; so a case that disagrees is run again under wine,
# and counts as a disagreement only when it disagrees again. What the
# first run gave is shown either way, so that the cause can be read.
check() {  # LABEL INPUT NAME [ARG...]
    local label=$1 base=$scratch/$folder/$1 found line
    shift
    cases=$((cases + 1))
    run_side linux "$base" "$@"
    run_side windows "$base" "$@"
    found=$(disagreements "$base")
    [ -n "$found" ] || return 0
    echo "windows check, $round: $label: the first run under wine gave status" \
        "$(cat "$base/windows.status"), stderr: $(head -c 300 "$base/windows.err" | cat -v)"
    run_side windows "$base" "$@"
    found=$(disagreements "$base")
    if [ -z "$found" ]; then
        echo "windows check, $round: $label: a second run agreed"
        return 0
    fi
    while read -r line; do
        fail "$label: $line"
    done <<<"$found"
}

run_round() {
    mkdir "$scratch/$folder"
    tool=d88cut
    check no-arguments "" ""
    check two-arguments "" "" a.d88 b.d88
    check missing-file "" "" missing.d88
    check directory "" "" .
    for input in "$inputs"/*.d88; do
        check "$(basename "$input" .d88)" "$input" "$input_name" "$input_name"
    done
    # Named like an output, and reached by its full path.
    check input-named-adpcm "$inputs/set.d88" ADPCM @DIR/ADPCM
    stdout_to=/dev/full check stdout-full "$inputs/set.d88" "$input_name" "$input_name"

    tool=d88scan
    check scan-no-arguments "" ""
    for input in "$inputs"/*.d88; do
        check "scan-$(basename "$input" .d88)" "$input" "$input_name" "$input_name"
    done
}

round="C locale"
folder=plain
input_name=set.d88
input_name_cp932=$input_name
wine_env=()
run_round

# Japanese, as a Japanese Windows has it.
locales=$scratch/locales
mkdir "$locales"
localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8"
round="Japanese locale"
folder=ソフト表の置き場
input_name=ソフト表.d88
input_name_cp932=$(printf '%s' "$input_name" | iconv -f UTF-8 -t CP932)
wine_env=(LOCPATH="$locales" LANG=ja_JP.UTF-8)
run_round

echo "windows check: $cases cases, $failures disagreements ($((cases / 2)) in the C locale, as many in a Japanese one)"
[ "$failures" = 0 ]
