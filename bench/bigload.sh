#!/bin/sh
# Loads German sample texts of the given sizes in MiB (default 20 and 100),
# Windows-1252 and UTF-8, into the editor the way Kelo does (in pieces) and
# the way it did before (whole), each in a fresh process, and prints CPU
# seconds, peak resident growth and the ratios pieces/whole.
#   bench/bigload.sh [BUILD] [MIB...]      e.g. bench/bigload.sh build/release 20 100 1024
# KELO_BIGLOAD_REF names another kelo_bigload for the whole column, e.g. one
# built from an older commit, so that the reference is that commit's loading.
# Then texts of one 10 MB line (German words, Base64 data, Chinese with no
# spaces) and one of 5 million empty lines: the CPU
# seconds to open it in a shown editor, the milliseconds until a key typed at
# its start and at its end is drawn, and saving it against a plain QSaveFile
# write of the same bytes in the same run (KELO_LONGLINE_MB=0 skips them).
set -eu
build=${1:-build/release}
[ $# -gt 0 ] && shift
sizes=${*:-20 100}
tool=$build/bench/kelo_bigload
ref=${KELO_BIGLOAD_REF:-$tool}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
value() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
printf '%-14s %22s %22s %14s\n' file "pieces: cpu s, MiB" "whole: cpu s, MiB" "ratio cpu, mem"
for mib in $sizes; do
    for encoding in cp1252 utf8; do
        file=$dir/$mib-$encoding.txt
        "$tool" make "$file" "$mib" "$encoding"
        cat "$file" > /dev/null # both from the page cache
        whole=$("$ref" load "$file" whole)
        pieces=$("$tool" load "$file" pieces)
        pc=$(value "$pieces" cpu_s) pm=$(value "$pieces" peak_MiB)
        wc=$(value "$whole" cpu_s) wm=$(value "$whole" peak_MiB)
        printf '%-14s %14s %7s %14s %7s %7s %6s\n' "$mib MiB $encoding" "$pc" "$pm" "$wc" "$wm" \
            "$(echo "scale=2; $pc / $wc" | bc)" "$(echo "scale=2; $pm / $wm" | bc)"
        rm -f "$file"
    done
done

longline=${KELO_LONGLINE_MB:-10}
if [ "$longline" != 0 ]; then
    printf '\n%-30s %10s %12s %12s %10s %10s %8s\n' file "open cpu s" "key start ms" "key end ms" \
        "save ms" "plain ms" ratio
    for run in "$longline german" "$longline base64" "$longline chinese" "-$longline"; do
        set -- $run
        mb=$1
        out=$("$tool" longline "$dir/long.txt" $run)
        name="one $longline MB line, ${2:-}"
        [ "$mb" -lt 0 ] && name="$(( longline / 2 )) M empty lines"
        printf '%-30s %10s %12s %12s %10s %10s %8s\n' "$name" "$(value "$out" open_cpu_s)" \
            "$(value "$out" key_start_ms)" "$(value "$out" key_end_ms)" "$(value "$out" save_ms)" \
            "$(value "$out" plain_ms)" "$(value "$out" save_ratio)"
        rm -f "$dir/long.txt"
    done
fi
