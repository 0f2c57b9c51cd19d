#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer: fuzz/build.sh [OUTDIR]
# (default build/fuzz).  Installs clang and the fuzzer runtime when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
mkdir -p "$out"
out=$(cd "$out" && pwd)

CXX=${CXX_FUZZ:-clang++}
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -ffp-contract=off -fno-omit-frame-pointer -I"$root/src"
       -fsanitize-coverage-ignorelist="$root/fuzz/coverage.ignore")

# A tiny fuzzer compiled and linked tells whether clang and its runtime work.
toolchain_ok() {
    command -v "$CXX" >/dev/null 2>&1 || return 1
    local probe
    probe=$(mktemp -d)
    printf '%s\n' '#include <cstdint>' '#include <cstddef>' \
        'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' \
        > "$probe/probe.cpp"
    local status=0
    "$CXX" "${flags[@]}" "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1 || status=$?
    rm -rf "$probe"
    return $status
}

if ! toolchain_ok; then
    echo "clang or the libFuzzer runtime is missing; installing" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq </dev/null
    apt-get install -y -qq clang libclang-rt-14-dev </dev/null
    toolchain_ok || { echo "clang++ cannot build a libFuzzer target" >&2; exit 1; }
fi

# The program's units, compiled once into objects shared by all targets.
objects=()
pids=()
for src in "$root"/src/*.cpp; do
    name=$(basename "$src" .cpp)
    # The program's entry, its command line with the command groups, and the
    # program's version (set by the CMake build) are not fuzzed; nor is the
    # study runner, the planning search or the analyse command, which need the
    # version and the grid units.
    case $name in main | cli | plotcommand | gridcommand | plancommand | analysecommand | version | grid* | plan) continue ;; esac
    # fuzzer-no-link: coverage instrumentation without libFuzzer's main.
    "$CXX" "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$src" \
        -o "$out/$name.o" &
    pids+=($!)
    objects+=("$out/$name.o")
done
for pid in "${pids[@]}"; do wait "$pid"; done

for target in dialogue_fuzz scanner_fuzz text_fuzz plot_fuzz design_fuzz results_fuzz; do
    "$CXX" "${flags[@]}" "$root/fuzz/$target.cpp" "${objects[@]}" -lpthread -lnettle -o "$out/$target"
    echo "built $out/$target"
done
