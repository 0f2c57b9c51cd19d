#!/usr/bin/env bash
# Compares the planning search with a full grid over the same range:
#
#   search  zelkor_plan_search: looks at 1000, 2000, 4000, ... series per
#           length, up to the cap, at confidence 0.99
#   grid    zelkor grid run --seed-mode per-condition over every length of
#           the range at the cap; its answer is the shortest length whose
#           p_sig is at least the power target ("not reached" when none is)
#
# and prints both answers, the series each simulated, their ratio and the
# wall times.  Both use the same per-condition seeds, so a length the search
# took to the cap has exactly the grid's rate; the script checks that, and
# counts the lengths the search decided on the other side of the target from
# the grid's rate at the cap.
#
# The questions (PL-Tau, option 1, level change 1, AR(1) 0.3, power 0.8,
# range 3 to 60, cap 100000, seed 7487):
#   nb    N_A 5, N_B searched
#   both  N_A = N_B searched
#
# Usage: bench/plan_vs_grid.sh [-q "nb both"] [-t THREADS] [-k DIR] [BUILD_DIR]
#   -q QUESTIONS  which questions (default: nb both)
#   -t THREADS    worker threads for both (default: all hardware threads)
#   -k DIR        keep the files in DIR and reuse a grid's results found there
#                 (the full grid of a question takes minutes)
#   BUILD_DIR     a build with ZELKOR_BENCH=ON (default build/bench)
set -euo pipefail

questions="nb both"
threads=
keep=
while getopts "q:t:k:h" flag; do
    case $flag in
        q) questions=$OPTARG ;;
        t) threads=$OPTARG ;;
        k) keep=$OPTARG ;;
        h) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "usage: $0 [-q QUESTIONS] [-t THREADS] [-k DIR] [BUILD_DIR]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=$(realpath "${1:-build/bench}")
zelkor=$build/zelkor
search=$build/bench/zelkor_plan_search
threadArg=()
[ -n "$threads" ] && threadArg=(--threads "$threads")

if [ -n "$keep" ]; then
    mkdir -p "$keep"
    work=$(realpath "$keep")
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
cd "$work"

from=3 to=60 target=0.8 cap=100000 seed=7487 statistic=PL-Tau
model=(--n-a 5 --level 1 --ar1 0.3)

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }

# The design of every length of the range: N_B alone, or N_A = N_B.
design() {
    local factor=$1
    if [ "$factor" = n_b ]; then
        "$zelkor" grid expand --option 1 "${model[@]}" --n-b "$from:$to:1" -o "design-$factor.csv"
    else
        {
            echo "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1"
            for ((l = from; l <= to; ++l)); do echo "$((l - from + 1)),1,$l,$l,0,1,0,1,1,0.3,0"; done
        } > "design-$factor.csv"
    fi
}

# "length p_sig" of the statistic, one line per condition of a results file.
rates() {
    awk -F, -v stat="$statistic" '
        NR == 1 { for (k = 1; k <= NF; ++k) col[$k] = k; next }
        $col["statistic"] == stat { print $col["n_b"], $col["p_sig"] }' "$1"
}

for question in $questions; do
    case $question in
        nb) factor=n_b ;;
        both) factor=both ;;
        *) echo "$0: unknown question $question" >&2; exit 2 ;;
    esac
    echo "== $statistic, option 1, N_A ${model[1]}, level 1, AR(1) 0.3, $factor searched over $from..$to," \
         "power $target, confidence 0.99, cap $cap"

    start=$(now)
    "$search" "${model[@]}" --search "$factor" --from "$from" --to "$to" --statistic "$statistic" \
        --power "$target" --confidence 0.99 --max-replications "$cap" --seed "$seed" \
        "${threadArg[@]}" > "search-$factor.txt"
    searchSeconds=$(calc "$(now) - $start")

    results="grid-$factor.csv"
    gridSeconds="(reused)"
    if [ ! -f "$results" ]; then
        design "$factor"
        start=$(now)
        "$zelkor" "${threadArg[@]}" grid run "design-$factor.csv" --seed-mode per-condition \
            --seed "$seed" --replications "$cap" -o "$results"
        gridSeconds=$(calc "$(now) - $start")
    fi
    rates "$results" > "grid-rates-$factor.txt"

    gridAnswer=$(awk -v t="$target" '$2 >= t { print $1; found = 1; exit } END { if (!found) print "none" }' \
        "grid-rates-$factor.txt")
    gridSeries=$(awk -v cap="$cap" 'END { print NR * cap }' "grid-rates-$factor.txt")
    outcome=$(awk '$1 == "outcome" { print $2 }' "search-$factor.txt")
    answer=$(awk '$1 == "answer" { print $2 }' "search-$factor.txt")
    estimate=$(awk '$1 == "estimate" { print $2 }' "search-$factor.txt")
    below=$(awk '$1 == "below" { print $2 }' "search-$factor.txt")
    series=$(awk '$1 == "series" { print $2 }' "search-$factor.txt")

    echo "evaluated lengths (length, replications, rejections, rate, interval, verdict; grid rate at the cap):"
    # Lengths at the cap must have the grid's rate exactly; decided ones are
    # checked against the grid's side of the target.
    awk -v t="$target" -v cap="$cap" '
        FNR == NR { grid[$1] = $2; next }
        $1 == "point" {
            g = grid[$2]
            mark = ""
            if ($3 == cap && $5 != g) { mark = "  RATE DIFFERS"; differ++ }
            if (($8 == "good" && g < t) || ($8 == "bad" && g >= t)) { mark = mark "  OTHER SIDE AT THE CAP"; side++ }
            printf "  %3d %7d %7d  %.5f  [%s, %s]  %-11s  grid %.5f%s\n", $2, $3, $4, $5, $6, $7, $8, g, mark
        }
        END { printf "lengths whose rate differs at the cap: %d; decided on the other side: %d\n", differ, side }' \
        "grid-rates-$factor.txt" "search-$factor.txt"
    echo "search: $outcome, answer $answer (estimate $estimate, below $below), $series series, $searchSeconds s"
    echo "grid:   answer $gridAnswer, $gridSeries series, $gridSeconds s"
    same=no
    [ "$estimate" = "$gridAnswer" ] && same=yes
    echo "same answer: $same; series ratio search / grid: $(awk -v a="$series" -v b="$gridSeries" 'BEGIN { printf "%.4f (1/%.1f)", a / b, b / a }')"
    echo
done
