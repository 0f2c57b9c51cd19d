#!/usr/bin/env bash
# The long-series and huge-study speed targets, paired: each case runs through
# a reference binary and through this build in turn, ROUNDS times, and the
# medians of the whole-process wall times are compared.  Both must print the
# same bytes, or the script stops.  Run it on an idle machine; the figures of
# a loaded machine say little.
#
# Usage: bench/paired_targets.sh [-n ROUNDS] [-c CASES] [-t THREADS] [-r REFERENCE] [ZELKOR]
#   -n ROUNDS     paired rounds per case (default 3)
#   -c CASES      cases, e.g. "1:10 2:100" (default: every case below)
#   -t THREADS    --threads for both programs (default: all hardware threads)
#   -r REFERENCE  the reference binary (default /work/baseline-zelkor)
#   ZELKOR        the binary to time (default build/release/zelkor)
#
# Cases are OPTION:N, N points in each phase: option 1 with trend 0.1 and
# level change 1, option 2 with white noise (SDs 1, no change, no AR or MA).
set -euo pipefail

rounds=3
cases="1:1000 1:200 1:10 2:100 2:50 2:10"
threads=""
reference=/work/baseline-zelkor
while getopts "n:c:t:r:h" flag; do
    case $flag in
        n) rounds=$OPTARG ;;
        c) cases=$OPTARG ;;
        t) threads=$OPTARG ;;
        r) reference=$OPTARG ;;
        h) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "usage: $0 [-n ROUNDS] [-c CASES] [-t THREADS] [-r REFERENCE] [ZELKOR]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
zelkor=${1:-build/release/zelkor}

die() {
    echo "paired_targets: $*" >&2
    exit 2
}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || die "ROUNDS must be a positive whole number, not '$rounds'"
for bin in "$reference" "$zelkor"; do [[ -x $bin ]] || die "$bin is not an executable"; done
thread_args=()
[[ -z $threads ]] || thread_args=(--threads "$threads")

work=$(mktemp -d "${TMPDIR:-/tmp}/zelkor_paired.XXXXXX")
trap 'rm -rf "$work"' EXIT

median() {
    sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.3f", v[(NR + 1) / 2];
        else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Wall seconds of one run of $1 on input $2, output to $3.
timed() {
    local start end
    start=$(date +%s%N)
    "$1" "${thread_args[@]}" <"$2" >"$3"
    end=$(date +%s%N)
    echo "$(((end - start) / 1000))e-6"
}

echo "paired_targets: $rounds round(s); $(nproc) hardware threads; load average at start:" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-12s %10s %10s %8s\n' case "ref s" "now s" ratio
for c in $cases; do
    [[ $c =~ ^([12]):([0-9]+)$ ]] || die "unknown case '$c' (OPTION:N)"
    option=${BASH_REMATCH[1]} n=${BASH_REMATCH[2]}
    input=$work/in
    if ((option == 1)); then
        printf '1\n\n%s\n%s\n0.1\n1\n0\n1\n1\n0\n0\n' "$n" "$n" >"$input"
    else
        printf '2\n\n%s\n%s\n0\n0\n0\n1\n1\n0\n0\n' "$n" "$n" >"$input"
    fi
    : >"$work/ref.t"
    : >"$work/new.t"
    for ((r = 1; r <= rounds; r++)); do
        timed "$reference" "$input" "$work/ref.out" >>"$work/ref.t"
        timed "$zelkor" "$input" "$work/new.out" >>"$work/new.t"
        cmp -s "$work/ref.out" "$work/new.out" || {
            trap - EXIT
            die "case $c: the outputs differ (kept in $work)"
        }
    done
    ref=$(median <"$work/ref.t")
    new=$(median <"$work/new.t")
    printf '%-12s %10s %10s %7.2fx\n' "option $option $n/$n" "$ref" "$new" \
        "$(awk -v a="$ref" -v b="$new" 'BEGIN { print a / b }')"
done
echo "Every case printed the same bytes.  Load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
