#!/usr/bin/env bash
# A fuzzing campaign: both targets side by side, one process each, RUNS
# executions each (a million by default), from the seed corpora of a fuzz
# build (build-fuzz, see doc/BUILDING.md). The corpora grow in a folder of
# their own under /dev/shm (the temporary folder where there is none), so
# that writing each input costs little; the logs go to build-fuzz/campaign/,
# and so do the grown corpora when the campaign ends, so that nothing is
# left in /dev/shm whatever ends the campaign.
#
#   tools/fuzz/campaign.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-1000000}
[ -x build-fuzz/fuzz/fuzz_reader ] && [ -x build-fuzz/fuzz/fuzz_run ] ||
    { echo "campaign: no fuzz build; see doc/BUILDING.md (build-fuzz)" >&2; exit 1; }

base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/d88cut-campaign.XXXXXX")
out=build-fuzz/campaign
pids=()
finish() {
    # Stops what still runs (an interrupted campaign), keeps what grew.
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    mkdir -p "$out"
    rm -rf "$out/reader" "$out/run"
    cp -r "$work/reader" "$work/run" "$out/" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

mkdir -p "$out"
cp -r build-fuzz/fuzz/corpus/reader build-fuzz/fuzz/corpus/run "$work/"
flags=(-max_len=417376 -reload=0 "-runs=$runs" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1
       "-artifact_prefix=$PWD/$out/")
build-fuzz/fuzz/fuzz_reader "${flags[@]}" "$work/reader" > "$out/reader.log" 2>&1 &
pids+=($!)
build-fuzz/fuzz/fuzz_run "${flags[@]}" "$work/run" > "$out/run.log" 2>&1 &
pids+=($!)
echo "campaign: $runs executions of each target; logs in $out/reader.log and $out/run.log"
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
pids=()
tail -n 12 "$out/reader.log" "$out/run.log"
exit $status
