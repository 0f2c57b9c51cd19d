#!/usr/bin/env bash
# Times whole runs of the program end to end: the wall time of the whole
# process (median of several runs) and its peak resident set size, for both
# options on fixed models, with three variants of the program:
#
#   zelkor              the program itself (always all hardware threads)
#   zelkor_session 1    the same session on one thread
#   zelkor_session 0    the same session on all hardware threads
#
# Every variant must print the same bytes for a model; the script stops with
# an error otherwise.
#
# Build first (from the repository root):
#   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DZELKOR_BENCH=ON -DZELKOR_TESTS=OFF
#   cmake --build build/bench -j2
#
# Usage: bench/whole_run.sh [-n RUNS] [-c CASES] [BUILD_DIR]
#   -n RUNS    runs per case and variant; the median is reported (default 5)
#   -c CASES   cases to run, e.g. "1a 2a" (default: 1a 1b 1c 1d 2a 2b 2c)
#   BUILD_DIR  build directory (default build/bench)
#
# Cases are an option (1: effect sizes, 2: VARDEN) and a model:
#   a  N_A = N_B = 10, white noise (trend, level, slope 0; SDs 1; AR 0, MA 0)
#   b  N_A = 5, N_B = 15, AR(1) 0.5, level change 1
#   c  N_A = N_B = 20, white noise
#   d  N_A = N_B = 30, white noise (option 1 only)
#   e  N_A = N_B = 200, trend 0.1, level change 1 (option 1 only, not run by default)
#   f  N_A = N_B = 1000, trend 0.1, level change 1 (option 1 only, not run by default)
set -euo pipefail

runs=5
cases="1a 1b 1c 1d 2a 2b 2c"
while getopts "n:c:h" flag; do
    case $flag in
        n) runs=$OPTARG ;;
        c) cases=$OPTARG ;;
        h) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "usage: $0 [-n RUNS] [-c CASES] [BUILD_DIR]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=${1:-build/bench}

die() {
    echo "whole_run: $*" >&2
    exit 1
}

[[ $runs =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive whole number, not '$runs'"
[[ -x /usr/bin/time ]] || die "/usr/bin/time (GNU time) is needed for the peak RSS"

zelkor=$build/zelkor
session=$build/bench/zelkor_session
for bin in "$zelkor" "$session"; do
    [[ -x $bin ]] || die "$bin not found; build with
  cmake -S . -B $build -DCMAKE_BUILD_TYPE=Release -DZELKOR_BENCH=ON -DZELKOR_TESTS=OFF
  cmake --build $build -j2"
done

# The model's entries, one per line: N_A N_B trend level slope SD_A SD_B AR1
# [MA1].  The MA(1) coefficient is asked for only when AR(1) is 0.
model_entries() {
    case $1 in
        a) printf '%s\n' 10 10 0 0 0 1 1 0 0 ;;
        b) printf '%s\n' 5 15 0 1 0 1 1 0.5 ;;
        c) printf '%s\n' 20 20 0 0 0 1 1 0 0 ;;
        d) printf '%s\n' 30 30 0 0 0 1 1 0 0 ;;
        e) printf '%s\n' 200 200 0.1 1 0 1 1 0 0 ;;
        f) printf '%s\n' 1000 1000 0.1 1 0 1 1 0 0 ;;
        *) die "unknown model '$1'" ;;
    esac
}

model_label() {
    case $1 in
        a) echo "a: 10+10 white noise" ;;
        b) echo "b: 5+15 AR(1) .5, level 1" ;;
        c) echo "c: 20+20 white noise" ;;
        d) echo "d: 30+30 white noise" ;;
        e) echo "e: 200+200, trend, level" ;;
        f) echo "f: 1000+1000, trend, level" ;;
    esac
}

work=$(mktemp -d "${TMPDIR:-/tmp}/zelkor_whole_run.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The scripted session: the option, then one run (the ENTER, then the
# entries).  The program ends when the input ends.
write_input() {
    local option=$1 model=$2
    {
        echo "$option"
        echo ""
        model_entries "$model"
    } >"$work/$option$model.in"
}

# Median of numbers given one per line.
median() {
    sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.3f", v[(NR + 1) / 2];
        else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

variants=("zelkor" "zelkor_session 1" "zelkor_session 0")
command_of() {
    case $1 in
        "zelkor") echo "$zelkor" ;;
        "zelkor_session 1") echo "$session 1" ;;
        "zelkor_session 0") echo "$session 0" ;;
    esac
}

for case_ in $cases; do
    [[ $case_ =~ ^[12][a-f]$ ]] || die "unknown case '$case_' (cases: 1a-1f 2a 2b 2c)"
    [[ ! $case_ =~ ^2[def]$ ]] || die "models d, e and f are for option 1 only"
done

echo "whole_run: $runs run(s) per case and variant; $(nproc) hardware threads;" \
    "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"

rows=()
for case_ in $cases; do
    option=${case_:0:1}
    model=${case_:1}
    write_input "$option" "$model"
    input=$work/$option$model.in
    reference=""
    for variant in "${variants[@]}"; do
        read -r -a cmd <<<"$(command_of "$variant")"
        times=$work/times
        : >"$times"
        peak=0
        for ((r = 1; r <= runs; r++)); do
            out=$work/out
            start=$(date +%s%N)
            status=0
            /usr/bin/time -f %M -o "$work/rss" "${cmd[@]}" <"$input" >"$out" || status=$?
            end=$(date +%s%N)
            ((status == 0)) || die "case $case_, $variant, run $r: exit status $status"
            echo "$(((end - start) / 1000))e-6" >>"$times"
            rss=$(tail -n 1 "$work/rss")
            ((rss > peak)) && peak=$rss
            if [[ -z $reference ]]; then
                reference=$work/$case_.reference
                cp "$out" "$reference"
                grep -q "Simulating cases" "$reference" ||
                    die "case $case_: the run did not simulate; output in $reference"
            elif ! cmp -s "$reference" "$out"; then
                cp "$out" "$work/$case_.differs"
                echo "whole_run: case $case_, $variant, run $r prints other bytes than" \
                    "${variants[0]} run 1:" >&2
                diff -a "$reference" "$work/$case_.differs" | head -n 20 >&2 || true
                trap - EXIT
                die "MISMATCH (outputs kept in $work)"
            fi
        done
        med=$(median <"$times")
        lo=$(sort -g "$times" | head -n 1)
        hi=$(sort -g "$times" | tail -n 1)
        row=$(printf '%-6s  %-26s  %-16s  %9s  %7.3f  %7.3f  %8.1f' "$option" \
            "$(model_label "$model")" "$variant" "$med" "$lo" "$hi" \
            "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')")
        rows+=("$row")
        echo "$row" >&2
    done
done

echo
echo "Every variant printed the same bytes for each case."
echo "Load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
printf '%-6s  %-26s  %-16s  %9s  %7s  %7s  %8s\n' option model variant "median s" "min s" \
    "max s" "peak MiB"
printf '%s\n' "${rows[@]}"
