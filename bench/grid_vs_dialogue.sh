#!/usr/bin/env bash
# Times a fixed grid of 200 option-1 conditions two ways:
#
#   grid      one `zelkor grid run` over the whole design (threads and
#             workspaces live for the whole grid)
#   dialogue  the same conditions one by one, one dialogue process each, its
#             entries piped to standard input
#
# and checks that both give the same tables (the grid's rows rounded to two
# decimals).  The grid: N_A and N_B each 3, 5, 8, 12 and 20; level change 0
# and 2; AR(1) 0, 0.2, 0.4 and 0.6; everything else the dialogue's values
# (5 x 5 x 2 x 4 = 200 conditions of 10000 series).
#
# Usage: bench/grid_vs_dialogue.sh [-t THREADS] [BUILD_DIR]
#   -t THREADS  worker threads for both ways (default: all hardware threads)
#   BUILD_DIR   a build directory holding zelkor (default build/release)
set -euo pipefail

threads=
while getopts "t:h" flag; do
    case $flag in
        t) threads=$OPTARG ;;
        h) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "usage: $0 [-t THREADS] [BUILD_DIR]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
zelkor=$(realpath "${1:-build/release}/zelkor")
threadArg=()
[ -n "$threads" ] && threadArg=(--threads "$threads")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

"$zelkor" grid expand --option 1 --n-a 3,5,8,12,20 --n-b 3,5,8,12,20 --level 0,2 \
    --ar1 0:0.6:0.2 -o design.csv
conditions=$(($(wc -l < design.csv) - 1))

start=$(now)
"$zelkor" "${threadArg[@]}" grid run design.csv -o results.csv
gridSeconds=$(calc "$(now) - $start")

# One dialogue per condition; the MA(1) entry only when AR(1) is 0.
start=$(now)
tail -n +2 design.csv | while IFS=, read -r id option na nb trend level slope sda sdb ar1 ma1; do
    if [ "$ar1" = 0 ]; then entries="$na $nb $trend $level $slope $sda $sdb $ar1 $ma1"
    else entries="$na $nb $trend $level $slope $sda $sdb $ar1"; fi
    printf '%s\n\n%s\n' "$option" "$entries" | "$zelkor" "${threadArg[@]}" > "dialogue-$id.txt"
done
dialogueSeconds=$(calc "$(now) - $start")

# The same tables both ways.
tail -n +2 results.csv | awk -F, '{
    if ($17 == "NA") p = "*   "; else p = sprintf("%.2f", $17);
    printf "%d\t%-6s\t% .2f\t%.2f\t%s\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n",
        $1, $14, $15, $16, p, $19, $20, $21, $22, $23 }' > grid-rows.txt
for ((id = 1; id <= conditions; id++)); do
    awk -v id="$id" '/^      \t MEAN/ { table = 1; next } /^$/ { table = 0 } table { print id "\t" $0 }' \
        "dialogue-$id.txt"
done > dialogue-rows.txt
if ! cmp -s grid-rows.txt dialogue-rows.txt; then
    echo "the grid's rows differ from the dialogue's tables:" >&2
    diff grid-rows.txt dialogue-rows.txt | head -20 >&2
    exit 1
fi

printf '%s conditions of 10000 series, %s threads\n\n' "$conditions" "${threads:-all hardware}"
printf '| way | total s | ms per condition |\n|---|---:|---:|\n'
for way in grid dialogue; do
    seconds=${way}Seconds
    printf '| %s | %.2f | %.1f |\n' "$way" "${!seconds}" "$(calc "${!seconds} * 1000 / $conditions")"
done
printf '\ngrid / dialogue: %.2f\n' "$(calc "$gridSeconds / $dialogueSeconds")"
