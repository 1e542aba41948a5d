# Sourced by the benchmark scripts: runs each command of names (through the script's run NAME)
# once to warm the cache, then `repeats` times taking turns, so a change in the machine's load
# touches every command alike; leaves the median time of each in med[NAME], in microseconds.
declare -A times
declare -A med
for name in "${names[@]}"; do
    run "$name" >/dev/null 2>&1 || true # warms the cache and the program's pages
    times[$name]=""
done
for ((i = 0; i < repeats; i++)); do
    for name in "${names[@]}"; do
        t0=$(date +%s%N)
        run "$name" >/dev/null 2>&1 || true
        t1=$(date +%s%N)
        times[$name]+="$(((t1 - t0) / 1000)) "
    done
done
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for name in "${names[@]}"; do
    med[$name]=$(echo "${times[$name]}" | median)
done
seconds() { awk -v us="$1" 'BEGIN { printf "%.3f s", us / 1e6 }'; }
