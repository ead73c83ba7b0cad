#!/usr/bin/env bash
# Compares bench_hashfile with its peers on the page-cached 1 GiB file, all in one run:
#   - each algorithm alone against `openssl speed -evp ALG -bytes 16384`
#   - all five algorithms in one pass against rhash with the same five
#   - peak memory (maximum resident set) of the five-algorithm pass
# usage: bench/compare-digests.sh [BUILD_DIR] [FILE]
#   BUILD_DIR defaults to build, FILE to /tmp/hashbench/big/1GiB.bin
#   (made by the shared make-data.sh). Needs openssl, rhash, GNU time; hyperfine if present.
set -euo pipefail
build=${1:-build}
file=${2:-/tmp/hashbench/big/1GiB.bin}
tool=$build/bin/bench_hashfile
runs=${RUNS:-5}
[[ -x $tool ]] || { echo "no $tool: build the bench_hashfile target" >&2; exit 1; }
[[ -f $file ]] || { echo "no $file: run make-data.sh first" >&2; exit 1; }
bytes=$(stat -c %s "$file")

# median wall seconds of a command over $runs runs (after one warm-up run)
median() {
    local ts=() i t0 t1
    sh -c "$1" >/dev/null 2>&1
    for ((i = 0; i < runs; i++)); do
        t0=$(date +%s%N); sh -c "$1" >/dev/null 2>&1; t1=$(date +%s%N)
        ts+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.4f", (b-a)/1e9}')")
    done
    printf '%s\n' "${ts[@]}" | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'
}

echo "# $(date -u +%FT%TZ) $(nproc) cpus, load $(cut -d' ' -f1-3 /proc/loadavg), $(openssl version | cut -d' ' -f1-2), file $file ($bytes bytes)"
cat "$file" >/dev/null
# openssl speed divides by CPU time; "ours cpu" does too (user+sys of the whole process), which
# stays meaningful when other programs load the machine and wall-clock figures do not.
cpu() { /usr/bin/time -f '%U %S' sh -c "$1 >/dev/null" 2>&1 | tail -1 | awk '{print $1+$2}'; }
printf '%-8s %14s %14s %8s %14s\n' algo "openssl MB/s" "ours MB/s" ratio "ours cpu MB/s"
for a in md5 sha1 sha256 sha384 sha512; do
    ref=$(openssl speed -seconds 3 -evp "$a" -bytes 16384 2>/dev/null | tail -1 | awk '{sub("k","",$2); print $2*1000/1e6}')
    t=$(median "'$tool' --$a '$file'")
    ours=$(awk -v b="$bytes" -v t="$t" 'BEGIN{printf "%.0f", b/t/1e6}')
    c=$(cpu "'$tool' --$a '$file'")
    printf '%-8s %14.0f %14s %8.2f %14.0f\n' "$a" "$ref" "$ours" "$(awk -v o="$ours" -v r="$ref" 'BEGIN{print o/r}')" \
        "$(awk -v b="$bytes" -v t="$c" 'BEGIN{print b/t/1e6}')"
done
five='--md5 --sha1 --sha256 --sha384 --sha512'
tr=$(median "rhash $five '$file'")
to=$(median "'$tool' $five '$file'")
printf 'rhash 5-alg %.3f s, ours 5-alg one pass %.3f s, ratio %.2f (cpu s: rhash %s, ours %s)\n' "$tr" "$to" \
    "$(awk -v a="$to" -v b="$tr" 'BEGIN{print a/b}')" "$(cpu "rhash $five '$file'")" "$(cpu "'$tool' $five '$file'")"
/usr/bin/time -f 'ours 5-alg peak RSS %M KiB' "$tool" $five "$file" >/dev/null
