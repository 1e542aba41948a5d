#!/usr/bin/env bash
# trovex-scan against the peers a Linux user knows, on the same tree with a warm cache, in one run:
# the summary against find, gdu and ncdu, the full list against find, and the start-up time.
# Runs take turns, so a change in the machine's load touches every command alike.
#
# Usage: bench/bench_scan.sh BUILD_DIR ROOT [REPEATS=5]
# gdu and ncdu are installed with apt when missing (as root or with sudo).
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR ROOT [REPEATS]}
root=${2:?usage: $0 BUILD_DIR ROOT [REPEATS]}
repeats=${3:-5}
scan=$build/trovex-scan
[ -x "$scan" ] || { echo "no $scan; build the target trovex-scan first" >&2; exit 2; }

missing=()
for tool in gdu ncdu; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

names=(find_summary scan_summary gdu ncdu find_list scan_list)
run() {
    case $1 in
    find_summary) find "$root" -printf '%s %f\n' ;;
    scan_summary) "$scan" summary --quiet "$root" ;;
    gdu) gdu -n -p "$root" ;;
    ncdu) ncdu -0 -o /dev/null "$root" ;;
    find_list) find "$root" -printf '%p\t%s\t%T@\t%C@\n' ;;
    scan_list) "$scan" list --type '*.*' --format tsv --bytes --quiet "$root" ;;
    esac
}

# shellcheck source=bench/turns.sh
. "$(dirname "$0")/turns.sh"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "tree: $root, $(find "$root" -type f | wc -l) files; median of $repeats runs each, warm cache"
echo "summary:"
echo "  find -printf '%s %f\\n'     $(seconds "${med[find_summary]}")"
echo "  gdu -n -p                   $(seconds "${med[gdu]}")"
echo "  ncdu -0 -o /dev/null        $(seconds "${med[ncdu]}")"
echo "  trovex-scan summary         $(seconds "${med[scan_summary]}")"
echo "  ratio to find $(ratio "${med[scan_summary]}" "${med[find_summary]}") (target <= 0.60)," \
    "to gdu $(ratio "${med[scan_summary]}" "${med[gdu]}"), to ncdu $(ratio "${med[scan_summary]}" "${med[ncdu]}") (targets < 1)"
echo "list:"
echo "  find -printf '%p\\t%s\\t%T@\\t%C@\\n'                      $(seconds "${med[find_list]}")"
echo "  trovex-scan list --type '*.*' --format tsv --bytes    $(seconds "${med[scan_list]}")"
echo "  ratio to find $(ratio "${med[scan_list]}" "${med[find_list]}") (target <= 0.90)"

starts=100
t0=$(date +%s%N)
for ((i = 0; i < starts; i++)); do "$scan" --version >/dev/null; done
t1=$(date +%s%N)
echo "start-up: trovex-scan --version $(awk -v ns=$((t1 - t0)) -v n=$starts 'BEGIN { printf "%.1f", ns / n / 1e6 }') ms" \
    "(mean of $starts; target < 20 ms)"
