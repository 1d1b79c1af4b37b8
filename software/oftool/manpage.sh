#!/usr/bin/env bash
# Writes oftool's man page from its own --help texts, so every subcommand it lists is documented.
# Usage: manpage.sh OFTOOL VERSION OUTPUT
set -euo pipefail
oftool=$1
version=$2
output=$3

export QT_QPA_PLATFORM=offscreen
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

help() {
    if ! "$oftool" "$@" --help 2>"$errors"; then
        echo "manpage.sh: '$oftool $* --help' failed:" >&2
        cat "$errors" >&2
        exit 1
    fi
}

# Help text to roff: paragraphs stay text, "Options:"-like tables become tagged paragraphs,
# other indented blocks (examples) stay as they are.
to_roff() {
    awk '
    function esc(s) {
        gsub(/\\/, "\\e", s)
        gsub(/-/, "\\-", s)
        if (s ~ /^[.\047]/) s = "\\&" s
        return s
    }
    function term(s,    n, i, w, out) {
        n = split(s, w, " ")
        out = ""
        for (i = 1; i <= n; i++) {
            if (w[i] ~ /^-/) w[i] = "\\fB" esc(w[i]) "\\fR"
            else if (w[i] ~ /^</ || table == "Arguments:") w[i] = "\\fI" esc(w[i]) "\\fR"
            else w[i] = "\\fB" esc(w[i]) "\\fR"
            out = out (i > 1 ? " " : "") w[i]
        }
        return out
    }
    # Closes a verbatim block, or a tight command table.
    function close_block() {
        if (mode == "verbatim") print ".fi\n.RE"
        else if (mode == "table" && table == "Commands:") print ".PD"
        mode = ""
    }
    NR == 1 && /^Usage: / { next }
    /^$/ { close_block(); blank = 1; next }
    /^[A-Z][A-Za-z ]*:$/ {
        close_block()
        print ".PP\n.B " esc($0)
        mode = ($0 ~ /^(Options|Arguments|Commands):$/) ? "table" : "verbatim"
        table = $0
        if (mode == "verbatim") print ".RS 2\n.nf"
        else if (table == "Commands:") print ".PD 0"
        blank = 0
        next
    }
    mode == "table" && /^  [^ ]/ {
        line = substr($0, 3)
        gap = match(line, /  +/)
        # Command names are short: one column wide enough for all keeps them beside their text.
        tp = (table == "Commands:") ? ".TP 10" : ".TP"
        if (gap) { print tp "\n" term(substr(line, 1, gap - 1)); print esc(substr(line, gap + RLENGTH)) }
        else print tp "\n" term(line)
        next
    }
    mode == "table" && /^   / { sub(/^ +/, ""); print esc($0); next }
    mode == "verbatim" && /^ / { sub(/^  /, ""); print esc($0); next }
    {
        close_block()
        if (blank) print ".PP"
        blank = 0
        print esc($0)
    }
    END { close_block() }
    '
}

top=$(help)
commands=$(awk '/^Commands:$/ { inside = 1; next } inside && /^$/ { inside = 0 } inside && /^  [^ ]/ { print $1 }' <<<"$top")
if [ -z "$commands" ]; then
    echo "manpage.sh: '$oftool --help' lists no commands" >&2
    exit 1
fi

{
    echo ".TH OFTOOL 1 \"\" \"oftool $version\" \"User Commands\""
    echo ".SH NAME"
    echo "oftool \\- make and handle OF font files"
    echo ".SH SYNOPSIS"
    for command in $commands; do
        usage=$(help "$command" | sed -n '1s/^Usage: //p')
        echo ".B oftool $command"
        echo "${usage#oftool "$command"}" | sed 's/^ *//; s/-/\\-/g'
        echo ".br"
    done
    echo ".SH DESCRIPTION"
    to_roff <<<"$top"
    echo ".SH COMMANDS"
    for command in $commands; do
        echo ".SS \"oftool $command\""
        help "$command" | to_roff
    done
    echo ".SH ENVIRONMENT"
    echo ".TP"
    echo ".B QT_QPA_PLATFORM"
    echo "oftool draws on Qt's offscreen platform, needing no display, unless this names another platform."
    echo ".SH \"SEE ALSO\""
    echo ".BR QuillmereMakeFont (1)"
} >"$output.tmp"
mv "$output.tmp" "$output"
