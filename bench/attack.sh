#!/usr/bin/env bash
# Attacks on the built programs, one line per case ("case: PASS|FAIL|SKIP  details") and a summary;
# the exit status is 1 when any case failed. What each case tries:
#   readahead-race     RUNS summaries, as a normal user, of a folder of 3,000 unreadable folders,
#                      of a missing folder and of an empty one: no crash, no unexpected status
#   deep-tree          a chain of 100,000 folders: trovex-scan and the window count what find counts
#   full-disk-writers  every writer over an earlier file on a full tmpfs (root)
#   special-targets    trovex-scan -o into FIFOs, a device node, a read-only file, a dangling link,
#                      a folder and its own standard output
#   move-while-written a move across file systems while the source grows (root)
#   uca-dtd            Thunar's actions declaring a document type are left byte for byte
#   size-nan-inf       --size with a number that is not finite is bad usage
#   control-chars      names with terminal escapes and invalid UTF-8 reach no terminal raw
#
# Usage: bench/attack.sh BUILD_DIR [RUNS=1000]
# BUILD_DIR needs trovex-scan and bench/attack_writers (TROVEX_BENCH=ON). Missing tools are
# installed with apt (as root or with sudo). As root the normal-user runs go through setpriv as
# nobody, and the cases that mount a tmpfs run; otherwise those are skipped.
set -uo pipefail
build=${1:?usage: $0 BUILD_DIR [RUNS]}
runs=${2:-1000}
build=$(cd "$build" && pwd)
scan=$build/trovex-scan
writers=$build/bench/attack_writers
for program in "$scan" "$writers"; do
    [ -x "$program" ] || { echo "no $program; build the targets trovex-scan and attack_writers first" >&2; exit 2; }
done

declare -A packageOf=([setpriv]=util-linux [timeout]=coreutils [find]=findutils [perl]=perl-base [mount]=mount)
missing=()
for tool in "${!packageOf[@]}"; do
    [ -n "$(command -v "$tool")" ] || missing+=("${packageOf[$tool]}")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if ! log=$(DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" 2>&1); then
        echo "$log" >&2
        exit 2
    fi
fi

root_user=false
[ "$(id -u)" -eq 0 ] && root_user=true
work=$(mktemp -d "${TMPDIR:-/tmp}/trovex-attack.XXXXXX")
chmod 755 "$work" # nobody walks it in the normal-user runs
mounts=()
deep_levels=100000
cleanup() {
    for m in "${mounts[@]}"; do
        [ -n "$m" ] && umount -l "$m" 2>>"$work/cleanup.log"
    done
    [ -d "$work/deep/root" ] && "$writers" deep-remove "$work/deep/root" "$deep_levels" 2>>"$work/cleanup.log"
    chmod -R u+rwx "$work" 2>>"$work/cleanup.log"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Nothing here reads or writes the caller's own home or desktop folders.
mkdir -p "$work"/{home,xdg/config,xdg/data,xdg/cache,xdg/state,xdg/config-dirs,xdg/runtime,out}
chmod 700 "$work/xdg/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/xdg/config XDG_DATA_HOME=$work/xdg/data XDG_CACHE_HOME=$work/xdg/cache
export XDG_STATE_HOME=$work/xdg/state XDG_CONFIG_DIRS=$work/xdg/config-dirs XDG_RUNTIME_DIR=$work/xdg/runtime
export XDG_DATA_DIRS=/usr/local/share:/usr/share # the MIME database, read only
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
out=$work/out

# Runs a command as a user without special rights: as nobody when this script is root.
if $root_user; then
    mkdir -p "$work/xdg/runtime-nobody"
    chown nobody:nogroup "$work/xdg/runtime-nobody"
    chmod 700 "$work/xdg/runtime-nobody"
    as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups env XDG_RUNTIME_DIR="$work/xdg/runtime-nobody" "$@"; }
    user_scan=$scan
    if ! as_user test -x "$scan"; then # the build folder is out of nobody's reach: a copy of its own
        mkdir -p "$work/bin"
        cp "$scan" "$work/bin/"
        user_scan=$work/bin/trovex-scan
    fi
    user_name=nobody
else
    as_user() { "$@"; }
    user_scan=$scan
    user_name=$(id -un)
fi

passed=0 failed=0 skipped=0
report() { # name PASS|FAIL|SKIP details...
    local name=$1 verdict=$2
    shift 2
    printf '%s: %s  %s\n' "$name" "$verdict" "$*"
    case $verdict in
    PASS) passed=$((passed + 1)) ;;
    FAIL) failed=$((failed + 1)) ;;
    *) skipped=$((skipped + 1)) ;;
    esac
}
now() { date +%s%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }
firstline() { head -n 1 "$1" | sed "s|$work/||g" | cut -c 1-"${2:-100}"; }
start=$(now)

# A small tree that several cases list.
files=$work/files
mkdir -p "$files/sub"
printf 'alpha\n' >"$files/a.txt"
printf 'bravo bravo\n' >"$files/b.log"
printf 'charlie\n' >"$files/sub/c.txt"
printf 'delta' >"$files/d.dat"

# --- readahead-race ----------------------------------------------------------------------------
case_readahead_race() {
    local t0 base=$work/race
    t0=$(now)
    mkdir -p "$base/root" "$base/empty"
    (cd "$base/root" && mkdir d{0001..3000} && printf 'x\n' >one.txt && printf 'yy\n' >two.log && printf 'z' >three)
    mkdir "$base/root/open" && printf 'readable\n' >"$base/root/open/four.txt"
    chmod 000 "$base"/root/d*
    # Each folder with the status its run must end with: 0 found (an unreadable folder is a line on
    # standard error), 1 nothing found, 3 the folder cannot be read.
    local -a names=(unreadable missing empty) roots=("$base/root" "$base/missing" "$base/empty") want=(0 3 1)
    local -A crashes=() wrong=() hangs=() firstErr=() statuses=() differ=()
    local i k status
    for ((i = 0; i < runs; i++)); do
        for k in 0 1 2; do
            as_user timeout -k 5 60 "$user_scan" summary "${roots[$k]}" >"$out/race.out" 2>"$out/race.err"
            status=$?
            if [ "$status" -eq "${want[$k]}" ]; then
                :
            elif [ "$status" -eq 124 ]; then
                hangs[$k]=$((${hangs[$k]:-0} + 1))
            elif [ "$status" -gt 128 ]; then
                crashes[$k]=$((${crashes[$k]:-0} + 1))
                statuses[$k]+=" $status"
            else
                wrong[$k]=$((${wrong[$k]:-0} + 1))
                statuses[$k]+=" $status"
            fi
            # Every run of a folder must say the same: a race shows as a folder lost or counted twice.
            if [ "$i" -eq 0 ]; then
                firstErr[$k]=$(firstline "$out/race.err" 80)
                cp "$out/race.out" "$out/race.out.$k"
                cp "$out/race.err" "$out/race.err.$k"
            elif ! cmp -s "$out/race.out" "$out/race.out.$k" || ! cmp -s "$out/race.err" "$out/race.err.$k"; then
                differ[$k]=$((${differ[$k]:-0} + 1))
            fi
        done
    done
    local total=0 details="" found
    for k in 0 1 2; do
        found=$((${crashes[$k]:-0} + ${wrong[$k]:-0} + ${hangs[$k]:-0} + ${differ[$k]:-0}))
        total=$((total + found))
        details+="${names[$k]} (exit ${want[$k]}): ${crashes[$k]:-0} crashes, ${wrong[$k]:-0} other statuses,"
        details+=" ${hangs[$k]:-0} hangs, ${differ[$k]:-0} outputs unlike the first${statuses[$k]:+ (statuses${statuses[$k]:0:60})}"
        [ "$k" -eq 0 ] && details+=", $(grep '^Total' "$out/race.out.0"), stderr \"${firstErr[$k]}\""
        [ "$k" -lt 2 ] && details+="; "
    done
    local verdict=PASS
    [ "$total" -eq 0 ] || verdict=FAIL
    report readahead-race $verdict "$runs runs each as $user_name over 3,000 mode-000 folders, a missing" \
        "and an empty folder in $(since "$t0") s; $details"
    chmod 755 "$base"/root/d*
    rm -rf "$base"
}

# --- deep-tree ---------------------------------------------------------------------------------
case_deep_tree() {
    local t0 base=$work/deep root=$work/deep/root
    t0=$(now)
    mkdir -p "$root"
    if ! "$writers" deep-make "$root" "$deep_levels" 2>"$out/deep.err"; then
        report deep-tree FAIL "the chain of $deep_levels folders could not be made: $(firstline "$out/deep.err")"
        return
    fi
    local made findFiles findAll findDirs
    made=$(since "$t0")
    t0=$(now)
    # One letter per entry: the paths themselves would come to ten gigabytes at this depth.
    find "$root" -printf '%y\n' >"$out/deep-find.txt"
    findFiles=$(grep -c '^f$' "$out/deep-find.txt")
    findAll=$(wc -l <"$out/deep-find.txt")
    findDirs=$(grep -c '^d$' "$out/deep-find.txt")
    local findTime listStatus listRows listTime sumStatus sumFiles sumBytes sumTime
    findTime=$(since "$t0")
    t0=$(now)
    "$scan" list --format tsv "$root" >"$out/deep-list.tsv" 2>"$out/deep-list.err"
    listStatus=$?
    listTime=$(since "$t0")
    listRows=$(wc -l <"$out/deep-list.tsv")
    t0=$(now)
    "$scan" summary --format tsv --bytes "$root" >"$out/deep-summary.tsv" 2>"$out/deep-summary.err"
    sumStatus=$?
    sumTime=$(since "$t0")
    # Type, description, count, size: the counts add up to the files.
    sumFiles=$(awk -F '\t' '{ n += $3 } END { print n + 0 }' "$out/deep-summary.tsv")
    sumBytes=$(awk -F '\t' '{ n += $4 } END { print n + 0 }' "$out/deep-summary.tsv")
    local bottom ok=true
    bottom=$(cut -f 1 "$out/deep-list.tsv" | tail -c 20 | tr -d '\n')
    [ "$listStatus" -eq 0 ] && [ "$listRows" -eq "$findFiles" ] && [[ $bottom == */deep.txt ]] || ok=false
    [ "$sumStatus" -eq 0 ] && [ "$sumFiles" -eq "$findFiles" ] && [ "$sumBytes" -eq 5 ] || ok=false

    # The window: its own walk, started by GO. It counts every entry of every folder it lists,
    # "." and ".." included: what find lists below the root, and two for each folder.
    t0=$(now)
    "$writers" window-summary "$root" >"$out/deep-window.txt" 2>"$out/deep-window.err"
    local winStatus=$? winTime winEntries winRows winRow wantEntries
    winTime=$(since "$t0")
    winEntries=$(sed -n 's/^entries //p' "$out/deep-window.txt")
    winRows=$(sed -n 's/^rows //p' "$out/deep-window.txt")
    winRow=$(sed -n 's/^row //p' "$out/deep-window.txt" | head -n 1 | tr '\t' '|')
    wantEntries=$((findAll - 1 + 2 * findDirs))
    [ "$winStatus" -eq 0 ] && [ "$winEntries" = "$wantEntries/0" ] && [ "$winRows" = 1 ] &&
        [[ $winRow == .txt\|*\|1\|* ]] || ok=false

    t0=$(now)
    "$writers" deep-remove "$root" "$deep_levels"
    local removeTime
    removeTime=$(since "$t0")
    local verdict=PASS
    $ok || verdict=FAIL
    report deep-tree $verdict "$deep_levels folders deep (made in $made s, removed in $removeTime s);" \
        "find: $findFiles files, $findAll entries, $findDirs folders ($findTime s);" \
        "trovex-scan list --format tsv: exit $listStatus, $listRows rows ending \"...$bottom\" ($listTime s);" \
        "summary --format tsv --bytes: exit $sumStatus, $sumFiles files, $sumBytes bytes ($sumTime s);" \
        "window (attack_writers window-summary: the main window's GO, offscreen): exit $winStatus," \
        "entries $winEntries (want $wantEntries/0), $winRows type row \"$winRow\" ($winTime s)" \
        "$([ -s "$out/deep-window.err" ] && echo "; window stderr: $(firstline "$out/deep-window.err")")"
    rm -rf "$base"
}

# --- full-disk-writers -------------------------------------------------------------------------
case_full_disk_writers() {
    if ! $root_user; then
        report full-disk-writers SKIP "mounting a tmpfs needs root"
        return
    fi
    local t0 disk=$work/disk
    t0=$(now)
    mkdir -p "$disk"
    if ! mount -t tmpfs -o size=1m,mode=0755,nosuid,nodev tmpfs "$disk" 2>"$out/mount.err"; then
        report full-disk-writers SKIP "no tmpfs can be mounted here: $(firstline "$out/mount.err")"
        return
    fi
    mounts+=("$disk")
    mkdir "$disk/scan"
    printf 'earlier\n' >"$disk/scan/out.tsv"
    yes zip | head -c 8192 >"$work/zip-source.bin"
    # The writers each over an earlier file; the disk is then filled to the last page and left so.
    "$writers" full-disk "$disk" "$work/zip-source.bin" >"$out/full-disk.txt" 2>"$out/full-disk.err"
    local writersStatus=$? namesBefore namesAfter scanStatus
    namesBefore=$(ls -A "$disk/scan")
    "$scan" list --format tsv -o "$disk/scan/out.tsv" "$files" >"$out/full-scan.out" 2>"$out/full-scan.err"
    scanStatus=$?
    namesAfter=$(ls -A "$disk/scan")
    local scanOk=true
    [ "$scanStatus" -eq 4 ] && grep -q 'No space left on device' "$out/full-scan.err" &&
        [ "$(cat "$disk/scan/out.tsv")" = earlier ] && [ "$namesBefore" = "$namesAfter" ] || scanOk=false
    local ok_count fail_count verdict=PASS
    ok_count=$(grep -c '^ok ' "$out/full-disk.txt")
    fail_count=$(grep -c '^FAIL' "$out/full-disk.txt")
    [ "$writersStatus" -eq 0 ] && [ "$fail_count" -eq 0 ] && [ "$ok_count" -eq 8 ] && $scanOk || verdict=FAIL
    local said
    said=$(grep -c ': said .*No space left on device' "$out/full-disk.txt")
    report full-disk-writers $verdict "1 MiB tmpfs filled to the last page ($(sed -n 's/^ok   the disk filled with //p' \
        "$out/full-disk.txt"));" \
        "attack_writers: exit $writersStatus, $ok_count checks ok, $fail_count failed" \
        "(CsvWriter::save, saveChartPicture png and svg, Registry::setValue, DesktopMenuEntries::write over its five files," \
        "ThunarActions::write, ZipArchiveFile::create), each kept its earlier file and left no other;" \
        "$said of 7 said \"No space left on device\";" \
        "trovex-scan list -o: exit $scanStatus, \"$(firstline "$out/full-scan.err" 120)\"," \
        "$( [ "$(cat "$disk/scan/out.tsv")" = earlier ] && echo "earlier file kept" || echo "EARLIER FILE CHANGED")," \
        "$( [ "$namesBefore" = "$namesAfter" ] && echo "no other file" || echo "NAMES CHANGED: $namesAfter");" \
        "$(since "$t0") s"
    if [ "$verdict" = FAIL ]; then
        grep '^FAIL' "$out/full-disk.txt" | sed 's/^/    /'
        [ -s "$out/full-disk.err" ] && sed 's/^/    stderr: /' "$out/full-disk.err" | head -n 5
    fi
    umount "$disk" && mounts=("${mounts[@]/$disk/}")
}

# --- special-targets ---------------------------------------------------------------------------
case_special_targets() {
    local t0 dir=$work/special expected=$out/special-expected.tsv
    t0=$(now)
    mkdir -p "$dir"
    "$scan" list --format tsv "$files" >"$expected"
    local ok=true details="" status t1 err

    # A FIFO that no program reads: refused at once, never waited on.
    mkfifo "$dir/fifo"
    t1=$(now)
    timeout -k 2 10 "$scan" list --format tsv -o "$dir/fifo" "$files" 2>"$out/sp.err"
    status=$?
    local took
    took=$(since "$t1")
    err=$(firstline "$out/sp.err" 70)
    if [ "$status" -eq 4 ] && [ -p "$dir/fifo" ] && awk -v s="$took" 'BEGIN { exit !(s < 2) }'; then
        details+="FIFO without reader: exit 4 in $took s, still a FIFO (\"$err\"); "
    else
        ok=false
        details+="FIFO WITHOUT READER: exit $status in $took s, $([ -p "$dir/fifo" ] && echo fifo || echo "NO LONGER A FIFO") (\"$err\"); "
    fi

    # A FIFO with a reader: this shell holds it open for reading, so no reader can come late.
    mkfifo "$dir/fifo2"
    exec 7<>"$dir/fifo2"
    timeout -k 2 10 "$scan" list --format tsv -o "$dir/fifo2" "$files" 2>"$out/sp.err"
    status=$?
    timeout 5 head -c "$(stat -c %s "$expected")" <&7 >"$out/fifo2.got"
    exec 7<&-
    if [ "$status" -eq 0 ] && cmp -s "$expected" "$out/fifo2.got" && [ -p "$dir/fifo2" ]; then
        details+="FIFO with reader: exit 0, all $(wc -c <"$expected") bytes arrived; "
    else
        ok=false
        details+="FIFO WITH READER: exit $status, $(wc -c <"$out/fifo2.got") of $(wc -c <"$expected") bytes; "
    fi

    # A device node of this folder's own, with the null device's numbers.
    if mknod "$dir/null" c 1 3 2>"$out/mknod.err"; then
        "$scan" list --format tsv -o "$dir/null" "$files" 2>"$out/sp.err"
        status=$?
        local kind
        kind=$(stat -c '%F %t,%T' "$dir/null")
        if [ "$status" -eq 0 ] && [ "$kind" = "character special file 1,3" ]; then
            details+="device node 1,3: exit 0, still a character device 1,3; "
        else
            ok=false
            details+="DEVICE NODE: exit $status, now \"$kind\" (\"$(firstline "$out/sp.err" 70)\"); "
        fi
    else
        details+="device node: skipped (mknod refused); "
    fi

    # Refused, each left as it was.
    printf 'kept\n' >"$dir/read-only.txt"
    chmod 444 "$dir/read-only.txt"
    "$scan" list --format tsv -o "$dir/read-only.txt" "$files" 2>"$out/sp.err"
    status=$?
    err=$(firstline "$out/sp.err" 70)
    if [ "$status" -eq 4 ] && [ "$(cat "$dir/read-only.txt")" = kept ] && [ "$(stat -c %a "$dir/read-only.txt")" = 444 ]; then
        details+="mode 444 file$($root_user && echo " as root"): exit 4, unchanged (\"$err\"); "
    else
        ok=false
        details+="MODE 444 FILE: exit $status, now \"$(head -c 20 "$dir/read-only.txt")\" mode $(stat -c %a "$dir/read-only.txt") (\"$err\"); "
    fi

    ln -s nowhere.tsv "$dir/dangling"
    "$scan" list --format tsv -o "$dir/dangling" "$files" 2>"$out/sp.err"
    status=$?
    err=$(firstline "$out/sp.err" 70)
    if [ "$status" -eq 4 ] && [ -L "$dir/dangling" ] && [ ! -e "$dir/nowhere.tsv" ]; then
        details+="dangling link: exit 4, still dangling (\"$err\"); "
    else
        ok=false
        details+="DANGLING LINK: exit $status, target $([ -e "$dir/nowhere.tsv" ] && echo CREATED || echo absent) (\"$err\"); "
    fi

    mkdir "$dir/folder"
    "$scan" list --format tsv -o "$dir/folder" "$files" 2>"$out/sp.err"
    status=$?
    err=$(firstline "$out/sp.err" 70)
    if [ "$status" -eq 4 ] && [ -d "$dir/folder" ] && [ -z "$(ls -A "$dir/folder")" ]; then
        details+="folder: exit 4, still an empty folder (\"$err\"); "
    else
        ok=false
        details+="FOLDER: exit $status (\"$err\"); "
    fi

    # Its own standard output by descriptor: through a pipe, redirected to a file, and at the
    # offset the shell's redirection has reached.
    "$scan" list --format tsv -o /proc/self/fd/1 "$files" 2>"$out/sp.err" | cat >"$out/piped.tsv"
    status=${PIPESTATUS[0]}
    local piped=false redirected=false between=false
    [ "$status" -eq 0 ] && cmp -s "$expected" "$out/piped.tsv" && piped=true
    if "$scan" list --format tsv -o /proc/self/fd/1 "$files" >"$out/redirected.tsv" 2>>"$out/sp.err"; then
        cmp -s "$expected" "$out/redirected.tsv" && redirected=true
    fi
    {
        echo before
        "$scan" list --format tsv -o /proc/self/fd/1 "$files" 2>>"$out/sp.err"
        echo after
    } >"$out/between.tsv"
    { echo before && cat "$expected" && echo after; } | cmp -s - "$out/between.tsv" && between=true
    if $piped && $redirected && $between; then
        details+="/proc/self/fd/1 piped, redirected to a file and between two echoes: every byte, in place"
    else
        ok=false
        details+="/PROC/SELF/FD/1: piped $piped, redirected $redirected, between echoes $between (\"$(firstline "$out/sp.err" 70)\")"
    fi
    local verdict=PASS
    $ok || verdict=FAIL
    report special-targets $verdict "trovex-scan list -o: $details; $(since "$t0") s"
    rm -rf "$dir"
}

# --- move-while-written ------------------------------------------------------------------------
case_move_while_written() {
    if ! $root_user; then
        report move-while-written SKIP "mounting a second file system needs root"
        return
    fi
    local t0 other=$work/other src=$work/move-src rounds=20
    t0=$(now)
    mkdir -p "$other" "$src"
    if ! mount -t tmpfs -o size=64m,mode=0755,nosuid,nodev tmpfs "$other" 2>"$out/mount.err"; then
        report move-while-written SKIP "no tmpfs can be mounted here: $(firstline "$out/mount.err")"
        return
    fi
    mounts+=("$other")
    "$writers" move-while-written "$src" "$other" "$rounds" >"$out/move.txt" 2>"$out/move.err"
    local status=$? verdict=PASS
    grep -q '^FAIL' "$out/move.txt" && verdict=FAIL
    [ "$status" -eq 0 ] || verdict=FAIL
    report move-while-written $verdict "platform::moveFile from $(stat -f -c %T "$src") to tmpfs, 4.25 MiB sources:" \
        "$rounds rounds appending a line at each of the first three progress calls, $rounds with a writer" \
        "thread of its own, stopped at the third;" \
        "$(sed -n 's/^ok   \(.* moves lost lines\)$/\1/p;s/^FAIL \(.* moves lost lines\)$/\1/p' "$out/move.txt");" \
        "first round: $(grep -m 1 'hook-log' "$out/move.txt" | cut -c 6- | sed "s|$src/||g")" \
        "$(grep -m 1 'an unchanged' "$out/move.txt" | cut -c 6-); exit $status; $(since "$t0") s"
    if [ "$verdict" = FAIL ]; then
        grep '^FAIL' "$out/move.txt" | head -n 10 | sed 's/^/    /'
        [ -s "$out/move.err" ] && sed 's/^/    stderr: /' "$out/move.err" | head -n 5
    fi
    umount "$other" && mounts=("${mounts[@]/$other/}")
}

# --- uca-dtd -----------------------------------------------------------------------------------
case_uca_dtd() {
    local t0 base=$work/uca
    t0=$(now)
    mkdir -p "$base"
    "$writers" uca-dtd "$base" >"$out/uca.txt" 2>"$out/uca.err"
    local status=$? verdict=PASS
    [ "$status" -eq 0 ] && ! grep -q '^FAIL' "$out/uca.txt" || verdict=FAIL
    report uca-dtd $verdict "$(grep -c '^ok ' "$out/uca.txt") of 3 uca.xml files (an entity, an entity hiding" \
        "Trovex's own action, an external document type) left byte for byte through ThunarActions::write," \
        "DesktopMenuEntries::write and ToggleContextMenu on and off; the entries written and removed;" \
        "first: $(head -n 1 "$out/uca.txt" | cut -c 6- | sed "s|$base/||g" | cut -c 1-400); $(since "$t0") s"
    if [ "$verdict" = FAIL ]; then
        grep '^FAIL' "$out/uca.txt" | sed 's/^/    /'
        [ -s "$out/uca.err" ] && sed 's/^/    stderr: /' "$out/uca.err" | head -n 5
    fi
    rm -rf "$base"
}

# --- size-nan-inf ------------------------------------------------------------------------------
case_size_nan_inf() {
    local t0 value status details="" ok=true
    t0=$(now)
    for value in nan inf -inf 1e400 NaN -nan +inf infinity -1e400; do
        "$scan" list --size less "$value" "$files" >"$out/size.out" 2>"$out/size.err"
        status=$?
        if [ "$status" -eq 2 ] && [ ! -s "$out/size.out" ]; then
            details+="$value 2, "
        else
            ok=false
            details+="$value EXIT $status, "
        fi
    done
    local verdict=PASS
    $ok || verdict=FAIL
    report size-nan-inf $verdict "trovex-scan list --size less VALUE: ${details%, };" \
        "stderr \"$(firstline "$out/size.err" 80)\"; $(since "$t0") s"
}

# --- control-chars -----------------------------------------------------------------------------
case_control_chars() {
    local t0 dir=$work/ctl
    t0=$(now)
    mkdir -p "$dir" "$dir/"$'folder\e[1m'
    local -a names=($'esc-\e[31mred\e[0m.txt' $'osc-\e]0;title\a.txt' $'csi-\xc2\x9b2J.txt' $'del-\x7f.txt'
        $'bad-\xff\xfe.txt' $'lone-\x80.txt' $'tab\tand\nnewline.txt' $'cr-\r.txt' $'ext.\e[2J' $'nul-ish-\x01.txt'
        'plain-é.txt' $'folder\e[1m/inner-\x9b.txt')
    local name
    for name in "${names[@]}"; do
        printf 'x' >"$dir/$name"
    done
    local -a outputs=("list --format tsv" "list" "summary --format tsv" "summary")
    local args ok=true details="" bad file=$out/ctl.out status rows
    for args in "${outputs[@]}"; do
        # shellcheck disable=SC2086 # the words of args are the options
        "$scan" $args "$dir" >"$file" 2>"$out/ctl.err"
        status=$?
        # No control byte but the separators, no DEL, no C1 control in UTF-8, no invalid UTF-8.
        bad=$(perl -0777 -ne '
            my $n = () = /[\x00-\x08\x0b-\x1f\x7f]|\xc2[\x80-\x9f]/g;
            my $copy = $_;
            utf8::decode($copy) or $n += 1000;
            print $n;' "$file")
        bad=${bad:-0}
        rows=$(wc -l <"$file")
        if [ "$status" -ne 0 ] || [ "$bad" != 0 ]; then
            ok=false
            details+="$args: EXIT $status, $bad BAD BYTES; "
        else
            details+="$args: clean, $rows lines; "
        fi
        if [ "$args" = "list --format tsv" ]; then
            # One line per file whatever its name holds, and the escapes written out.
            if [ "$rows" -ne "${#names[@]}" ]; then
                ok=false
                details+="(LIST HAS $rows LINES FOR ${#names[@]} FILES) "
            fi
            if ! { grep -qiF '\x1b[31m' "$file" && grep -qiF '\xc2\x9b' "$file" && grep -qiF '\xff\xfe' "$file" &&
                grep -qiF '\x7f' "$file" && grep -qF 'plain-é.txt' "$file"; }; then
                ok=false
                details+="(ESCAPES NOT AS EXPECTED) "
            fi
        fi
    done
    local verdict=PASS
    $ok || verdict=FAIL
    report control-chars $verdict "${#names[@]} files named with ESC/OSC sequences, C1 CSI, DEL, invalid UTF-8," \
        "CR, tab and newline: ${details%; }; $(since "$t0") s"
    rm -rf "$dir"
}

case_readahead_race
case_deep_tree
case_full_disk_writers
case_special_targets
case_move_while_written
case_uca_dtd
case_size_nan_inf
case_control_chars

echo "attack: $passed passed, $failed failed, $skipped skipped in $(since "$start") s"
[ "$failed" -eq 0 ]
