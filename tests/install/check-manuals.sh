#!/bin/sh
# Renders each manual as man does for a user and fails on any warning of the formatter, or a page without its
# name section.
set -u
status=0
for page in "$@"; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -E UTF-8 -l "$page" 2>&1 >/dev/null)
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$page" 2>/dev/null)
    if [ -n "$warnings" ]; then
        echo "$page: $warnings"
        status=1
    fi
    name=$(basename "$page" .1)
    if ! printf '%s\n' "$text" | grep -q "^ *$name - "; then
        echo "$page: no NAME line for $name"
        status=1
    fi
done
exit $status
