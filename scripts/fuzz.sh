#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a set time, one after the other, at low
# priority. Prints per target the executions per second, the corpus it reached and what it found: crashes (failed
# checks and sanitizer reports), timeouts (an input that takes longer than --timeout seconds) and out-of-memory (more
# than --rss-limit MB resident, or one allocation as large). Exits non-zero when anything was found; the inputs are
# kept under build-fuzz/fuzz-runs/TARGET/ and can be replayed with the target binary.
#
#   scripts/fuzz.sh [--timeout S] [--rss-limit MB] [--merge] [SECONDS] [TARGET...]
#
# SECONDS is the time per target (default 60). TARGET picks targets by name (default all; see fuzz/*/CMakeLists.txt).
# --merge minimises the committed seed corpus and what the run added into the seed folder; review before committing.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build-fuzz"

seconds=60
timeout=20
rss_limit=512
merge=0
wanted=()
while [ $# -gt 0 ]; do
    case "$1" in
    --timeout) timeout="$2"; shift 2 ;;
    --rss-limit) rss_limit="$2"; shift 2 ;;
    --merge) merge=1; shift ;;
    -h | --help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    [0-9]*) seconds="$1"; shift ;;
    *) wanted+=("$1"); shift ;;
    esac
done

"$top/scripts/install-deps.sh" --fuzz
# Only the fuzz targets are built; the libraries they link come along, the program and the tests do not.
CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCVRLIK_FUZZ=ON \
    -DCVRLIK_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_targets

export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
# A small quarantine keeps the resident baseline low, so the memory limit catches growth and not the allocator. An
# allocation's stack is kept to its nearest three frames: deeper, the unwinder walks on through Qt's frames into
# whatever the stack holds, every input stores new "stacks", and the sanitizer's own table of them grows by about
# 100 MB a million inputs. A saved input replayed with the target binary alone reports whole stacks.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:quarantine_size_mb=32:malloc_context_size=3"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The figure from libFuzzer's final statistics, or from its last status line when the run ended on a finding.
final_stat() {
    grep -o "^stat::$1: *[0-9]*" "$2" | tail -1 | grep -o '[0-9]*$' || true
}
status_field() {
    grep -o "$1 [0-9/a-zA-Z]*" "$2" | tail -1 | cut -d' ' -f2 || true
}

found_total=0
report=()
while IFS='|' read -r name binary corpus dict max_len; do
    [ -n "$name" ] || continue
    if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " == *" $name "* ]]; then
        continue
    fi
    run="$build/fuzz-runs/$name"
    rm -rf "$run/artifacts"
    mkdir -p "$run/corpus" "$run/artifacts"
    options=(-max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb="$rss_limit" -max_len="$max_len"
        -artifact_prefix="$run/artifacts/" -print_final_stats=1)
    [ -n "$dict" ] && options+=(-dict="$dict")
    echo "== $name: $seconds s"
    status=0
    # The CPU seconds the run got, beside the wall time: on a busy machine exec/s alone says more about the load.
    TIMEFORMAT='%U %S'
    { time nice -n 10 "$binary" "${options[@]}" "$run/corpus" "$corpus" >"$run/log" 2>&1 || status=$?; } 2>"$run/cpu"
    cpu=$(awk '{ printf "%.0f", $1 + $2 }' "$run/cpu")

    execs=$(final_stat average_exec_per_sec "$run/log")
    [ -n "$execs" ] || execs=$(status_field "exec/s:" "$run/log")
    runs=$(final_stat number_of_executed_units "$run/log")
    [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$run/log" | tail -1 | tr -d '#')
    rss=$(final_stat peak_rss_mb "$run/log")
    [ -n "$rss" ] || rss=$(status_field "rss:" "$run/log")
    corp=$(status_field "corp:" "$run/log")
    crashes=$(find "$run/artifacts" -name 'crash-*' -o -name 'leak-*' -o -name 'deadly*' | wc -l)
    timeouts=$(find "$run/artifacts" -name 'timeout-*' | wc -l)
    ooms=$(find "$run/artifacts" -name 'oom-*' | wc -l)
    # A run that stopped on its own without leaving an input (a sanitizer report outside an input, a failed start)
    # counts as a crash too.
    if [ "$status" -ne 0 ] && [ $((crashes + timeouts + ooms)) -eq 0 ]; then
        crashes=1
    fi
    found=$((crashes + timeouts + ooms))
    found_total=$((found_total + found))
    per_cpu="?"
    [ -n "$runs" ] && [ "${cpu:-0}" -gt 0 ] && per_cpu=$((runs / cpu))
    report+=("$(printf '%-22s %7s %9s %10s %6s %14s %6s %7s %8s %4s' "$name" "${execs:-?}" "$per_cpu" "${runs:-?}" \
        "${cpu}s" "${corp:-?}" "${rss:-?}MB" "$crashes" "$timeouts" "$ooms")")
    if [ "$found" -ne 0 ]; then
        echo "   found: see $run/log and $run/artifacts/"
        grep -m 3 -E 'ERROR: |check failed|Test unit written' "$run/log" | sed 's/^/   /' || true
    fi

    if [ "$merge" -eq 1 ]; then
        rm -rf "$run/merged"
        mkdir -p "$run/merged"
        nice -n 10 "$binary" -merge=1 -max_len="$max_len" -timeout="$timeout" -rss_limit_mb="$rss_limit" \
            "$run/merged" "$corpus" "$run/corpus" >"$run/merge.log" 2>&1
        # Hand-named inputs (seeds, regressions) stay; the hash-named ones are replaced by the minimised set.
        hashed='.*/[0-9a-f]{40}'
        kept=$(find "$corpus" -type f -regextype posix-extended ! -regex "$hashed" -exec sha1sum {} + | cut -d' ' -f1)
        find "$corpus" -type f -regextype posix-extended -regex "$hashed" -delete
        for input in "$run/merged"/*; do
            if ! grep -qx "$(basename "$input")" <<<"$kept"; then
                cp "$input" "$corpus/"
            fi
        done
        echo "   corpus merged into $corpus: $(find "$corpus" -type f | wc -l) files"
    fi
done <"$build/fuzz/targets.txt"

echo
printf '%-22s %7s %9s %10s %6s %14s %6s %7s %8s %4s\n' target exec/s exec/cpu-s runs cpu corpus/bytes rss \
    crashes timeouts ooms
printf '%s\n' "${report[@]}"
if [ "$found_total" -ne 0 ]; then
    echo "fuzz: $found_total finding(s); the inputs are in $build/fuzz-runs/*/artifacts/" >&2
    exit 1
fi
