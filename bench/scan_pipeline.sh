#!/usr/bin/env bash
# trovex-scan in pipelines and as a disk-usage counter, warm cache, ratios within one run:
#   - the first line of a streamed `list | head -1` against the whole list (target: at most 5 %);
#   - the peak memory of a streamed list (target: at most 64 MiB at 1,000,000 files);
#   - `summary --disk-usage` against find -printf '%s %b %i %n %f\n' (target: at most 0.6x), its
#     total against du -cB1 over the same regular files (must be equal);
#   - with --against OLD_BUILD, summary and sorted list against that build (target: not slower).
# Runs take turns, so a change in the machine's load touches every command alike.
#
# Usage: bench/scan_pipeline.sh BUILD_DIR ROOT [REPEATS=5] [--against OLD_BUILD_DIR]
# GNU time is installed with apt when missing (as root or with sudo).
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR ROOT [REPEATS] [--against OLD_BUILD_DIR]}
root=${2:?usage: $0 BUILD_DIR ROOT [REPEATS] [--against OLD_BUILD_DIR]}
repeats=${3:-5}
old=""
[ "${4:-}" = "--against" ] && old=${5:?--against needs a build folder}
scan=$build/trovex-scan
[ -x "$scan" ] || { echo "no $scan; build the target trovex-scan first" >&2; exit 2; }
if [ ! -x /usr/bin/time ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends time >/dev/null
fi

names=(head1 list find_du summary_du)
[ -n "$old" ] && names+=(summary old_summary sorted old_sorted)
run() {
    case $1 in
    head1) "$scan" list --quiet "$root" | head -1 ;;
    list) "$scan" list --quiet --format tsv --bytes "$root" ;;
    find_du) find "$root" -printf '%s %b %i %n %f\n' ;;
    summary_du) "$scan" summary --quiet --disk-usage --hidden --system "$root" ;;
    summary) "$scan" summary --quiet --hidden "$root" ;;
    old_summary) "$old/trovex-scan" summary --quiet --hidden "$root" ;;
    sorted) "$scan" list --quiet --sort size --format tsv "$root" ;;
    old_sorted) "$old/trovex-scan" list --quiet --sort size --format tsv "$root" ;;
    esac
}

# shellcheck source=bench/turns.sh
. "$(dirname "$0")/turns.sh"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

peak=$(/usr/bin/time -f '%M' "$scan" list --quiet --format tsv "$root" 2>&1 >/dev/null | tail -1)
scan_total=$("$scan" summary --quiet --disk-usage --hidden --system --bytes --format json "$root" |
    sed -n 's/.*"total_size":\([0-9]*\),.*/\1/p' | head -1)
# du over the files trovex-scan counts (regular files and links, never followed), and over the
# regular files alone: a link whose target is too long to live in its inode takes a block.
du_total=$("$scan" list --quiet --hidden --system --null "$root" | du -cB1 --files0-from=- | tail -1 | cut -f1)
du_regular=$(find "$root" -type f -print0 | du -cB1 --files0-from=- | tail -1 | cut -f1)

echo "tree: $root, $(find "$root" -type f | wc -l) regular files; median of $repeats runs each, warm cache"
echo "list | head -1              $(seconds "${med[head1]}")   ratio to the whole list $(ratio "${med[head1]}" "${med[list]}")  (target <= 0.05)"
echo "list, whole (tsv)           $(seconds "${med[list]}")"
echo "list, peak memory           $((peak / 1024)) MiB  (target <= 64 MiB at 1,000,000 files)"
echo "find -printf '%s %b %i %n'  $(seconds "${med[find_du]}")"
echo "summary --disk-usage        $(seconds "${med[summary_du]}")   ratio $(ratio "${med[summary_du]}" "${med[find_du]}")  (target <= 0.6)"
echo "disk usage total            trovex-scan $scan_total, du over the same files $du_total  $([ "$scan_total" = "$du_total" ] && echo equal || echo DIFFERENT); du over find -type f $du_regular"
if [ -n "$old" ]; then
    echo "summary                     $(seconds "${med[summary]}")   ratio to $old $(ratio "${med[summary]}" "${med[old_summary]}")  (target <= 1)"
    echo "list --sort size            $(seconds "${med[sorted]}")   ratio to $old $(ratio "${med[sorted]}" "${med[old_sorted]}")  (target <= 1)"
fi
