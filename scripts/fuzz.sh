#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs them one after another.
#
#     scripts/fuzz.sh all            # every target, 600 seconds each
#     scripts/fuzz.sh settings 60    # one target for a minute
#
# Each target runs on one core with its corpus in build-fuzz/corpus/<target> (seeded from
# fuzz/seeds/<target>) and its dictionary fuzz/<target>.dict; crashes, leaks, timeouts and
# running out of memory leave their input in build-fuzz/artifacts/<target>/. The last lines
# summarise each target. The seeds are written by build-fuzz/fuzz/fuzz_make_seeds fuzz/seeds.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
targets_all=(obj mtl cr2_tree text_block text_items binary_chunk binary_records settings layer_set image
             project_text project_binary graphics_archive video_cards language cr2_import gzip head_template morph_set)

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 TARGET|all [SECONDS]   (targets: ${targets_all[*]})" >&2
    exit 2
fi
if [ "$1" = all ]; then
    targets=("${targets_all[@]}")
else
    targets=("$1")
    if [[ " ${targets_all[*]} " != *" $1 "* ]]; then
        echo "unknown target '$1' (targets: ${targets_all[*]})" >&2
        exit 2
    fi
fi
seconds="${2:-600}"

# clang and its fuzzer runtime, only when missing.
fuzzer_runtime_present() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
        clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - 2>/dev/null
}
missing=()
command -v clang++ >/dev/null || missing+=(clang)
if [ ${#missing[@]} -eq 0 ] && ! fuzzer_runtime_present; then
    missing+=("libclang-rt-$(clang++ --version | sed -n 's/.*version \([0-9]*\).*/\1/p' | head -1)-dev")
fi
if [ ${#missing[@]} -gt 0 ]; then
    sudo_prefix=()
    [ "$(id -u)" -ne 0 ] && sudo_prefix=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo_prefix[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_prefix[@]}" apt-get install -y -qq "${missing[@]}"
    if ! fuzzer_runtime_present; then
        echo "clang cannot link libFuzzer programs" >&2
        exit 1
    fi
fi

build_dir="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build_dir" -j2 --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
summaries=()
for target in "${targets[@]}"; do
    corpus="$build_dir/corpus/$target"
    artifacts="$build_dir/artifacts/$target"
    log="$build_dir/fuzz-$target.log"
    mkdir -p "$corpus" "$artifacts"
    [ -d "$root/fuzz/seeds/$target" ] && cp -n "$root/fuzz/seeds/$target"/* "$corpus"/ 2>/dev/null || true
    options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -detect_leaks=1
             -print_final_stats=1 -artifact_prefix="$artifacts/")
    [ -f "$root/fuzz/$target.dict" ] && options+=(-dict="$root/fuzz/$target.dict")
    echo "== $target: $seconds seconds (log: $log)"
    status=0
    "$build_dir/fuzz/fuzz_$target" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?

    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    [ -n "$executions" ] || executions="$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d "#" || true)"
    coverage="$(grep -o "cov: [0-9]* ft: [0-9]*" "$log" | tail -1 || true)"
    reproducer="$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)"
    finding=none
    if grep -q 'ERROR: LeakSanitizer' "$log"; then finding=leak
    elif grep -q 'ALARM: working on the last Unit' "$log"; then finding=timeout
    elif grep -q 'out-of-memory' "$log"; then finding=oom
    elif [ -n "$reproducer" ] || [ "$status" -ne 0 ]; then finding=crash
    fi
    line="$target: ${executions:-0} executions, ${coverage:-no coverage}, found: $finding"
    [ -n "$reproducer" ] && line+=" ($reproducer)"
    echo "$line"
    summaries+=("$line")
done

echo "== summary"
printf '%s\n' "${summaries[@]}"
