# The input of the compose benchmarks, sourced by them: DejaVu Sans at 32 px (fitted to the ink, with
# metrics) as WORK/sans.of, and LINES forty-character lines as WORK/lines.txt, the same every time (words
# drawn from a fixed list with awk's seeded generator).
# Usage: make_compose_input OFTOOL WORK LINES
make_compose_input() {
    local oftool=$1 work=$2 lines=$3
    "$oftool" render --family "DejaVu Sans" --style Book --px 32 --chars 33-126 --fit ink --metrics \
        --output "$work/sans.of" >/dev/null 2>&1
    awk -v n="$lines" 'BEGIN {
        k = split("the quick brown fox jumps over a lazy dog while five boxing wizards jump quickly amid grey fjords " \
                  "and vexed nymphs; pack my box with jugs of liquor, sphinx of black quartz: judge my vow", w, " ")
        srand(1)
        for (i = 0; i < n; i++) { s = ""; while (length(s) < 40) s = s w[int(rand() * k) + 1] " "; print substr(s, 1, 40) }
    }' > "$work/lines.txt"
}
