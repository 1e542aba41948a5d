#!/bin/sh
# "--version" and "--help" answer without a display; a file of that name keeps its meaning as a
# path, so the program then wants its display as ever.
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
run() { env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work" "$program" "$@"; }

out=$(run --version) || { echo "--version failed"; exit 1; }
case $out in "trovex "[0-9]*) ;; *) echo "unexpected version text: $out"; exit 1 ;; esac
out=$(run --help) || { echo "--help failed"; exit 1; }
case $out in "Usage: trovex "*) ;; *) echo "unexpected help text: $out"; exit 1 ;; esac

# Not the only argument: a root folder and the skin switch, and so a display is needed.
run --version /s >/dev/null 2>&1 && { echo "--version with another argument was read as the option"; exit 1; }
: >./--help
run --help >/dev/null 2>&1 && { echo "an existing file named --help was read as the option"; exit 1; }
exit 0
