#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz/ (one per reader of untrusted bytes) with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer, then runs each for a bounded time from its seeds in tests/fuzz/corpus/.
# Exits non-zero when any target finds a crash, a leak, a timeout or an excess of memory; the input that
# did it is kept in $VELMORA_FUZZ_FINDINGS/<target>/ (default build-fuzz/findings/).
# Usage: scripts/fuzz.sh [seconds-per-target] (default 45)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-45}"
bash "$root/scripts/install-deps.sh"
build="${VELMORA_FUZZ_BUILD_DIR:-$root/build-fuzz}"
findings="${VELMORA_FUZZ_FINDINGS:-$build/findings}"
export CCACHE_DIR="${CCACHE_DIR:-$root/.cache/ccache}"

# The libraries get the coverage hooks without libFuzzer's main, which only the targets link.
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" \
    -DVELMORA_BENCH=OFF -DVELMORA_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzzers

# Target and the longest input worth trying for its format. No input needs a single allocation of more
# than 256 MB (-malloc_limit_mb): one that asks for it is a bomb, reported with the stack that asked.
targets=(
    "image_codec 65536"
    "jpeg_codec 65536"
    "exif_body 65536"
    "language_file 16384"
    "transfer_block 8192"
    "sdf_reader 4096"
)

export QT_QPA_PLATFORM=offscreen
# Qt reports every broken file it is given; the sanitizers report what matters.
export QT_LOGGING_RULES="*=false"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The targets' files for readers that take a path go here too, also when a crash leaves them behind.
export TMPDIR="$work"
failed=0
for entry in "${targets[@]}"; do
    read -r target max_len <<<"$entry"
    # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
    mkdir -p "$work/$target" "$findings/$target"
    log="$work/$target.log"
    status=0
    (cd "$work" && "$build/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len="$max_len" \
        -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$findings/$target/" \
        "$work/$target" "$root/tests/fuzz/corpus/$target") >"$log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    if [ "$status" -eq 0 ] && ! grep -qE '^==[0-9]+== ?ERROR|^SUMMARY: ' "$log"; then
        echo "fuzz: $target: ${runs:-0} executions, no findings"
    else
        failed=1
        echo "fuzz: $target: FINDING after ${runs:-?} executions (exit code $status)" >&2
        # The report and its stacks without libFuzzer's progress lines or the shadow map, then the input.
        report="$(sed -n '/^==[0-9]*== \{0,1\}ERROR\|runtime error\|^ALARM/,/Test unit written to/p' "$log" |
            sed '/^Shadow bytes/,$d' | grep -v 'Test unit written to' | head -80)" || true
        if [ -n "$report" ]; then echo "$report" >&2; else tail -20 "$log" >&2; fi
        grep -h 'Test unit written to' "$log" >&2 || true
    fi
done
exit "$failed"
