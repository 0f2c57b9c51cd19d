#!/usr/bin/env bash
# Builds the fuzz targets and fuzzes each for FUZZ_SECONDS (default 30) on a
# copy of its seed corpus: fuzz/run.sh [OUTDIR] (default build/fuzz).
# Fails on any crash, timeout, leak or sanitizer report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-30}

"$root/fuzz/build.sh" "$out" </dev/null
out=$(cd "$out" && pwd)

summary=()
failed=0
for target in dialogue scanner text plot design results; do
    corpus=$out/corpus/$target
    artifacts=$out/artifacts/$target/
    log=$out/$target.log
    rm -rf "$corpus" "$artifacts"
    mkdir -p "$corpus" "$artifacts"
    cp "$root/fuzz/corpus/$target/"* "$corpus/"
    echo "fuzzing $target for $seconds s (log: $log)"
    status=0
    "$out/${target}_fuzz" "$corpus" -dict="$root/fuzz/entries.dict" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -artifact_prefix="$artifacts" -print_final_stats=1 </dev/null >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|invariant failed' "$log"; then
        echo "FAIL $target (exit status $status); artifacts in $artifacts" >&2
        grep -E -A40 'ERROR:|runtime error:|invariant failed' "$log" | head -80 >&2 || tail -40 "$log" >&2
        failed=1
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    units=$(find "$corpus" -type f | wc -l)
    summary+=("$(printf '%-9s executions %-9s coverage %s edges, %s features, corpus %s inputs' \
        "$target" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$units")")
done

echo
printf '%s\n' "${summary[@]}"
exit "$failed"
