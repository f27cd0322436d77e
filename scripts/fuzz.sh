#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for a bounded time (FUZZ_SECONDS, default 30) from its seed corpus. A crash, a
# sanitizer report or a broken oracle fails the run; the input is kept in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
findings=build/fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for pair in FuzzJsonReaders:json FuzzListReader:list FuzzIniReader:ini; do
    target=${pair%%:*}
    corpus=$(mktemp -d)
    cp tests/fuzz/corpus/"${pair##*:}"/* "$corpus/"
    echo "=== $target (${seconds}s)"
    build/fuzz/tests/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" "$corpus" 2>&1 |
        grep -E "^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|==|SUMMARY|.*ERROR)" || true
    status=${PIPESTATUS[0]}
    rm -rf "$corpus"
    [ "$status" -eq 0 ] || { echo "$target failed (exit $status)"; exit 1; }
done
echo "fuzzing: no failure"
