#!/usr/bin/env bash
# Trovex's duplicate search against jdupes, fdupes and rmlint on one tree of copies, in one run:
# the walk and search of bench_duplicates against `jdupes -r`, `fdupes -r` and rmlint, all with the
# same choices (hidden files included, hard links of one file no duplicates of each other, links not
# followed, empty files left out); warm, and cold as well when run as root (the page cache dropped
# before every run). Every tool must find the same groups, compared as sets of inodes; differences
# are printed. Then the times, the ratio of Trovex to jdupes, where Trovex's time goes, and its peak
# memory per file walked. Runs take turns, so a change in the machine's load touches every tool alike.
#
# Usage: bench/duplicates.sh BUILD_DIR [WHERE=/tmp] [REPEATS=3]
# The tree (about 100,000 files, 1.4 GB) is made once in WHERE/trovex-dup-tree; remove it and
# WHERE/trovex-dup-tree.made when done. jdupes, fdupes and rmlint are installed with apt when missing
# (as root or with sudo).
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [WHERE] [REPEATS]}
where=${2:-/tmp}
repeats=${3:-3}
bench=$build/bench/bench_duplicates
[ -x "$bench" ] || { echo "no $bench; build the target bench_duplicates first" >&2; exit 2; }

missing=()
for tool in jdupes fdupes rmlint; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

tree=$where/trovex-dup-tree
"$bench" make "$tree"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

names=(trovex jdupes fdupes rmlint)
run() { # tool, where its groups go
    case $1 in
    trovex) "$bench" run "$tree" "$2" >"$out/trovex.log" ;;
    jdupes) jdupes -r -q "$tree" >"$2" ;;
    fdupes) fdupes -r -q -n "$tree" >"$2" ;;
    # -r: hidden files too; -F: links neither followed nor listed; -L: one name of each hard-linked
    # file; -T df: duplicate files only (empty files are another kind of lint to rmlint).
    rmlint) (cd "$out" && rmlint -T df -r -F -L -o fdupes:"$2" "$tree" >/dev/null) ;;
    esac
}
drop_caches() {
    sync
    echo 3 >/proc/sys/vm/drop_caches
}
cold=0
[ -w /proc/sys/vm/drop_caches ] && cold=1

declare -A warm colds
for name in "${names[@]}"; do
    run "$name" "$out/$name.groups" # warms the cache and the programs; these groups are compared
    warm[$name]=""
    colds[$name]=""
done
for ((i = 0; i < repeats; i++)); do
    for name in "${names[@]}"; do
        t0=$(date +%s%N)
        run "$name" "$out/last.groups"
        t1=$(date +%s%N)
        warm[$name]+="$(((t1 - t0) / 1000)) "
    done
done
cp "$out/trovex.log" "$out/trovex.warm.log"
if [ $cold -eq 1 ]; then
    for ((i = 0; i < repeats; i++)); do
        for name in "${names[@]}"; do
            drop_caches
            t0=$(date +%s%N)
            run "$name" "$out/last.groups"
            t1=$(date +%s%N)
            colds[$name]+="$(((t1 - t0) / 1000)) "
        done
    done
    cp "$out/trovex.log" "$out/trovex.cold.log"
fi

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { awk -v us="$1" 'BEGIN { printf "%7.3f s", us / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "tree: $tree, $(find "$tree" -type f | wc -l) files, $(du -sh "$tree" | cut -f1); median of $repeats runs each"
echo "groups, as sets of inodes:"
"$bench" compare trovex="$out/trovex.groups" jdupes="$out/jdupes.groups" fdupes="$out/fdupes.groups" \
    rmlint="$out/rmlint.groups" || true
declare -A label=([trovex]="trovex (walk + search)" [jdupes]="jdupes -r" [fdupes]="fdupes -r -n"
    [rmlint]="rmlint -T df -r -F -L")
for state in warm cold; do
    [ $state = cold ] && [ $cold -eq 0 ] && { echo "cold: not measured (dropping the page cache needs root)"; continue; }
    declare -A med=()
    for name in "${names[@]}"; do
        if [ $state = warm ]; then med[$name]=$(echo "${warm[$name]}" | median); else med[$name]=$(echo "${colds[$name]}" | median); fi
    done
    target=0.5
    [ $state = cold ] && target=0.8
    echo "$state:"
    for name in "${names[@]}"; do
        printf "  %-24s %s\n" "${label[$name]}" "$(seconds "${med[$name]}")"
    done
    echo "  ratio trovex/jdupes $(ratio "${med[trovex]}" "${med[jdupes]}") (target <= $target)," \
        "trovex/fdupes $(ratio "${med[trovex]}" "${med[fdupes]}"), trovex/rmlint $(ratio "${med[trovex]}" "${med[rmlint]}")"
    echo "  where trovex's time goes (its last $state run):"
    sed 's/^/  /' "$out/trovex.$state.log"
done
