#!/bin/sh
# The program started with a display that does not answer says so in one line and exits with 1,
# instead of aborting in the toolkit.
program=$1
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
err=$(env -u QT_QPA_PLATFORM DISPLAY=:8413 WAYLAND_DISPLAY=stale-0 XDG_RUNTIME_DIR="$runtime" "$program" 2>&1 >/dev/null)
rc=$?
[ "$rc" -eq 1 ] || { echo "exit status $rc, expected 1: $err"; exit 1; }
[ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || { echo "more than one line: $err"; exit 1; }
case $err in
*"no display could be opened"*xvfb-run*) ;;
*) echo "unexpected message: $err"; exit 1 ;;
esac
