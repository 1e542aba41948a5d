#!/bin/bash
# The window at three sizes of one realistic tree: 100,000, 1,000,000 and 3,000,000 files, each
# made once by gentree (20 files a folder, seed 1) and measured by bench_scale in a fresh process.
# The largest is made only where the disk has room for it. Prints each figure per size and, for
# the timed figures, its ratio to find per size and the growth of that ratio against 100,000.
#
# Usage: bench/scale.sh BUILD_DIR [WHERE=/tmp] [REPEATS=5]
set -euo pipefail
build=${1:?usage: scale.sh BUILD_DIR [WHERE] [REPEATS]}
where=${2:-/tmp}
repeats=${3:-5}
# Users sort names in their own language, through the locale's collation; the C locale compares
# bytes, which flatters a sort by name. Without a language of the caller's, English is measured.
case "${LC_ALL:-${LANG:-C}}" in
C | C.* | POSIX) export LANG=en_US.UTF-8 LC_ALL= ;;
esac
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

sizes=()
for files in 100000 1000000 3000000; do
    root="$where/trovex-scale-$files"
    if [ "$files" -ge 3000000 ] && [ ! -e "$root" ]; then
        # About 1 KiB of disk and one inode per file: room for both with a margin.
        free_kib=$(df -Pk "$where" | awk 'NR == 2 { print $4 }')
        free_inodes=$(df -Pi "$where" | awk 'NR == 2 { print $4 }')
        if [ "$free_kib" -lt $((files * 4)) ] || [ "$free_inodes" -lt $((files * 2)) ]; then
            echo "skipping $files files: $where has ${free_kib} KiB and ${free_inodes} inodes free"
            continue
        fi
    fi
    "$build/bench/gentree" "$root" "$files" $((files / 20)) 1
    echo "measuring $files files ($(uptime | sed 's/.*load/load/'))"
    "$build/bench/bench_scale" "$root" "$repeats" 2>/dev/null > "$out/$files"
    sizes+=("$files")
done

# name, then the value at each size; for ratios, each ratio against the first size's.
printf '%-34s' figure
for files in "${sizes[@]}"; do printf '%18s' "$files files"; done
echo
for name in $(awk '{ print $1 }' "$out/${sizes[0]}"); do
    printf '%-34s' "$name"
    first=""
    for files in "${sizes[@]}"; do
        value=$(awk -v n="$name" '$1 == n { print $2 }' "$out/$files")
        if [[ "$name" == *_ratio ]] && [ -n "$first" ]; then
            printf '%18s' "$value ($(awk -v a="$value" -v b="$first" 'BEGIN { printf "%+.0f%%", (a / b - 1) * 100 }'))"
        else
            printf '%18s' "$value"
        fi
        [ -z "$first" ] && first=$value
    done
    echo
done
