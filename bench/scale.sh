#!/bin/bash
# The window at three sizes of one realistic tree: 100,000, 1,000,000 and 3,000,000 files, each
# made once by gentree (20 files a folder, seed 1) and measured by bench_scale in a fresh process.
# The largest is made only where the disk has room for it. Prints each figure per size and, for
# the timed figures, its ratio to find per size and the growth of that ratio against 100,000.
#
# With --against OTHER_BUILD the same sizes are measured with a second build too, each size with
# both builds one after the other, and the figures stand side by side: a change measured against
# the code before it in one run, on one machine and one cache. --sizes picks the sizes.
#
# Usage: bench/scale.sh BUILD_DIR [WHERE=/tmp] [REPEATS=5] [--sizes N[,N...]] [--against OTHER_BUILD]
set -euo pipefail
positional=()
all_sizes="100000,1000000,3000000"
against=""
while [ $# -gt 0 ]; do
    case "$1" in
    --sizes) all_sizes=$2; shift 2 ;;
    --against) against=$2; shift 2 ;;
    *) positional+=("$1"); shift ;;
    esac
done
build=${positional[0]:?usage: scale.sh BUILD_DIR [WHERE] [REPEATS] [--sizes N,N] [--against OTHER_BUILD]}
where=${positional[1]:-/tmp}
repeats=${positional[2]:-5}
# Users sort names in their own language, through the locale's collation; the C locale compares
# bytes, which flatters a sort by name. Without a language of the caller's, English is measured.
case "${LC_ALL:-${LANG:-C}}" in
C | C.* | POSIX) export LANG=en_US.UTF-8 LC_ALL= ;;
esac
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

builds=("$build")
[ -n "$against" ] && builds+=("$against")

columns=() # one per size and build: "files" or "files@index"
for files in ${all_sizes//,/ }; do
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
    for b in "${!builds[@]}"; do
        echo "measuring $files files with ${builds[$b]} ($(uptime | sed 's/.*load/load/'))"
        "${builds[$b]}/bench/bench_scale" "$root" "$repeats" 2>/dev/null > "$out/$files@$b"
        columns+=("$files@$b")
    done
done

heading() {
    local files=${1%@*} b=${1#*@}
    # The build folder with the folder it lies in, so two builds named alike stay apart.
    local full
    full=$(realpath "${builds[$b]}")
    if [ ${#builds[@]} -gt 1 ]; then echo "$files $(basename "$(dirname "$full")")/$(basename "$full")"; else echo "$files files"; fi
}

# name, then the value of each column; for ratios, each ratio against the first size's (of the
# same build).
printf '%-34s' figure
for c in "${columns[@]}"; do printf '%22s' "$(heading "$c")"; done
echo
for name in $(awk '{ print $1 }' "$out/${columns[0]}"); do
    printf '%-34s' "$name"
    declare -A first=()
    for c in "${columns[@]}"; do
        b=${c#*@}
        value=$(awk -v n="$name" '$1 == n { print $2 }' "$out/$c")
        if [[ "$name" == *_ratio ]] && [ -n "${first[$b]:-}" ]; then
            printf '%22s' "$value ($(awk -v a="$value" -v b="${first[$b]}" 'BEGIN { printf "%+.0f%%", (a / b - 1) * 100 }'))"
        else
            printf '%22s' "$value"
        fi
        [ -z "${first[$b]:-}" ] && first[$b]=$value
    done
    unset first
    echo
done
