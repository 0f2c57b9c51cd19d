#!/bin/sh
# Renders a man page as man would and fails on any warning: man_render.sh PAGE
set -u
page=$1
command -v groff >/dev/null 2>&1 || { echo "groff is missing (scripts/install-deps)" >&2; exit 1; }
messages=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
status=$?
if [ "$status" -ne 0 ] || [ -n "$messages" ]; then
    printf 'groff status %s\n%s\n' "$status" "$messages" >&2
    exit 1
fi
# Every section the page promises.
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "THE DIALOGUE" "SCRIPTED INPUT" STATISTICS "EXIT STATUS"; do
    grep -q "^\.SH \"*$section\"*\$" "$page" || { echo "no section $section" >&2; exit 1; }
done
