#!/usr/bin/env bash
# Runs one fuzz target for a bounded time and prints what it did.
#   run-fuzzer.sh BINARY SEEDS WORK SECONDS TIMEOUT MAX_LEN [DICTIONARY]
# SEEDS is the corpus in the source tree (only read); WORK keeps the inputs
# found so far, the log and any crashing input. Fails on a crash, a leak, a
# sanitizer report or an input that takes longer than TIMEOUT seconds.
set -uo pipefail
binary=$1 seeds=$2 work=$3 seconds=$4 timeout=$5 maxlen=$6 dictionary=${7:-}
name=$(basename "$binary")

mkdir -p "$work/corpus" "$work/artifacts"
log=$work/last-run.log
args=(-max_total_time="$seconds" -timeout="$timeout" -max_len="$maxlen"
      -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$work/artifacts/")
if [ -n "$dictionary" ]; then
    args+=(-dict="$dictionary")
fi

stamp=$work/.started
touch "$stamp"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Leaks inside system libraries that are caches, not ours.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(dirname "$0")/lsan.supp}
"$binary" "${args[@]}" "$work/corpus" "$seeds" >"$log" 2>&1
status=$?

# The last status line (executions, coverage, corpus) and the final counts.
final=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -n 1)
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$final")
ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$final")
corpus=$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$final")
echo "$name: ${runs:-?} runs in ${seconds} s (${speed:-?}/s), coverage ${cov:-?} edges," \
     "${ft:-?} features, corpus ${corpus:-?}"

if [ "$status" -ne 0 ]; then
    echo "$name FAILED (exit $status); the end of its log ($log):"
    tail -n 60 "$log"
    find "$work/artifacts" -type f -newer "$stamp" | while read -r artifact; do
        echo "input: $artifact (replay: $binary $artifact)"
    done
fi
exit "$status"
