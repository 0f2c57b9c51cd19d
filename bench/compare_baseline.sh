#!/usr/bin/env bash
# Runs scripted console sessions through a build of the program and through a
# reference binary, and compares their standard output byte for byte (cmp).
# The sessions are the long and awkward inputs that decide between the fast
# and the defining paths of the rank kernels: phases of 200 to 1000 points,
# whole-numbered data (SD 0 with whole trend and level: ties and exact
# slopes), small SDs, constant and all-zero phases, NaN and infinite entries,
# values near the float limit and subnormal ones, AR and MA errors, several
# runs in one session (workspaces reused from run to run), and option-2 runs
# from 10 to 100 points per phase (the bootstrap's slope walk; the median and
# sort helpers are shared with the method).
#
# Usage: bench/compare_baseline.sh [-q] [-t THREADS] [-r REFERENCE] [ZELKOR]
#   -q            quick: only the sessions the reference finishes in seconds
#   -t THREADS    --threads for both programs (default: all hardware threads)
#   -r REFERENCE  the reference binary (default /work/baseline-zelkor)
#   ZELKOR        the binary to check (default build/release/zelkor)
#
# Prints one line per session (same or DIFFERENT, and both wall times) and
# exits 1 when any session differs, keeping both outputs for inspection.
set -euo pipefail

quick=0
threads=""
reference=/work/baseline-zelkor
while getopts "qt:r:h" flag; do
    case $flag in
        q) quick=1 ;;
        t) threads=$OPTARG ;;
        r) reference=$OPTARG ;;
        h) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "usage: $0 [-q] [-t THREADS] [-r REFERENCE] [ZELKOR]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
zelkor=${1:-build/release/zelkor}

die() {
    echo "compare_baseline: $*" >&2
    exit 2
}
[[ -x $zelkor ]] || die "$zelkor is not an executable; build it first"
[[ -x $reference ]] || die "$reference is not an executable"
[[ -z $threads || $threads =~ ^[1-9][0-9]*$ ]] || die "THREADS must be a whole number from 1 up"

work=$(mktemp -d "${TMPDIR:-/tmp}/zelkor_compare.XXXXXX")
keep=0
trap '[[ $keep == 1 ]] || rm -rf "$work"' EXIT

# A session: the option, then for each run one ENTER and the model's entries
# (N_A N_B trend level slope SD_A SD_B AR1 [MA1]; MA1 only when AR1 is 0).
# Each argument after the option is one run.
session() {
    local option=$1
    shift
    echo "$option"
    for run in "$@"; do
        echo ""
        tr ' ' '\n' <<<"$run"
    done
}

# name, quick (1: in the quick set), option, runs...
cases=(
    "long_white|0|1|1000 1000 0.1 1 0 1 1 0 0"
    "medium_white|1|1|200 200 0.1 1 0 1 1 0 0"
    "ties_constant_phases|1|1|500 300 0 2 0 0 0 0 0"
    "whole_lines|1|1|300 700 1 3 -1 0 0 0 0"
    "falling_whole_line|1|1|700 700 -1 0 0 0 0 0 0"
    "all_zero|1|1|999 1000 0 0 0 0 0 0 0"
    "small_sd_ar|1|1|250 250 0.5 1 0 0.001 0.001 0.5"
    "ma|1|1|400 400 0 0 0 1 1 0 0.6"
    "unequal_ar|0|1|200 1000 0.2 -1 0.1 2 0.5 0.9"
    "unequal_ma|0|1|1000 200 -0.05 0 0 0.5 0.5 0 0.3"
    "nan_trend|1|1|600 600 nan 1 0 1 1 0 0"
    "infinite_sd|1|1|300 300 0 0 0 inf 1 0 0"
    "huge_values|1|1|300 300 0 0 0 1e38 1e38 0 0"
    "subnormal_values|1|1|250 250 0 0 0 1e-40 1e-40 0 0"
    "rounded_ties|1|1|400 400 0.25 0.5 0 0.125 0.125 0 0"
    "runs_in_sequence|0|1|1000 1000 0.1 1 0 1 1 0 0|10 10 0.1 1 0 1 1 0 0.4|300 200 0 2 0 0 0 0 0|64 65 1 0 0 0 0 0 0"
    "method_short|1|2|10 10 0.1 1 0 1 1 0 0.4"
    "method_whole_numbers|1|2|15 15 1 2 0 0 0 0 0"
    "method_ar|1|2|12 12 0 1 0 1 1 0.3"
    "method_constant|1|2|30 30 0 2 0 0 0 0 0"
    "method_nan|1|2|20 20 nan 1 0 1 1 0 0"
    "method_rounded_ties|1|2|40 40 0.25 0.5 0 0.125 0.125 0 0"
    "method_50_whole|0|2|50 50 1 2 0 0 0 0 0"
    "method_100|0|2|100 100 0.1 1 0 1 1 0 0.4"
    "method_100_ar|0|2|100 60 0 1 0.05 2 1 0.6"
)

thread_args=()
[[ -z $threads ]] || thread_args=(--threads "$threads")

# Runs a program on an input file into an output file; prints the seconds.
timed_run() {
    local input=$1 output=$2 start end
    shift 2
    start=$(date +%s%N)
    "$@" <"$input" >"$output"
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.2f", ns / 1e9 }'
}

failed=0
printf '%-22s  %-9s  %10s  %10s\n' session result "ref s" "new s"
for entry in "${cases[@]}"; do
    IFS='|' read -r -a fields <<<"$entry"
    name=${fields[0]}
    [[ $quick == 0 || ${fields[1]} == 1 ]] || continue
    session "${fields[2]}" "${fields[@]:3}" >"$work/$name.in"
    ref_s=$(timed_run "$work/$name.in" "$work/$name.ref" "$reference" "${thread_args[@]}")
    new_s=$(timed_run "$work/$name.in" "$work/$name.new" "$zelkor" "${thread_args[@]}")
    grep -q "Simulating cases" "$work/$name.ref" || die "session $name did not simulate (input $work/$name.in)"
    if cmp -s "$work/$name.ref" "$work/$name.new"; then
        result=same
    else
        result=DIFFERENT
        failed=1
        keep=1
    fi
    printf '%-22s  %-9s  %10s  %10s\n' "$name" "$result" "$ref_s" "$new_s"
done

if [[ $failed == 1 ]]; then
    echo "compare_baseline: outputs differ; inputs and outputs kept in $work" >&2
    exit 1
fi
echo "Every session printed the same bytes."
