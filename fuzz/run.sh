#!/usr/bin/env bash
# Configures and builds the fuzz targets with clang, then runs each one in
# turn for the given number of seconds (default 600) on a copy of its seeds.
# Findings (crash-*, leak-*, timeout-*, oom-*) land in the run folder printed
# at the end; the exit status is non-zero when a target stopped on one.
# Environment: BUILD (build folder, default build-fuzz), JOBS (default 1),
# PARALLEL=1 runs the targets two at a time (one core each).
set -euo pipefail
seconds=${1:-600}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build-fuzz}
jobs=${JOBS:-1}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQYR_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_regfile fuzz_hive fuzz_ncc fuzz_smil fuzz_names fuzz_content

out=$(mktemp -d /tmp/qyr-fuzz.XXXXXX)
status=0
run() {
    local target=$1 seeds=$2 maxlen=$3
    mkdir -p "$out/$target/corpus" "$out/$target/findings"
    cp "$here/seeds/$seeds"/* "$out/$target/corpus/"
    echo "== $target for ${seconds}s (log: $out/$target/log)"
    if ! "$build/fuzz/$target" "$out/$target/corpus" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -max_len="$maxlen" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$out/$target/findings/" >"$out/$target/log" 2>&1; then
        status=1
        echo "   stopped on a finding:"
        ls "$out/$target/findings"
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^Done' "$out/$target/log" || true
    echo "   corpus: $(ls "$out/$target/corpus" | wc -l) files"
}
if [ "${PARALLEL:-0}" = 1 ]; then
    run fuzz_regfile regfile 4096 > "$out/regfile.summary" &
    run fuzz_hive hive 16384 > "$out/hive.summary" &
    wait
    run fuzz_ncc ncc 16384 > "$out/ncc.summary" &
    run fuzz_smil smil 16384 > "$out/smil.summary" &
    wait
    run fuzz_names smil 16384 > "$out/names.summary" &
    run fuzz_content content 16384 > "$out/content.summary" &
    wait
    cat "$out/regfile.summary" "$out/hive.summary" "$out/ncc.summary" "$out/smil.summary" "$out/names.summary" \
        "$out/content.summary"
    grep -q 'stopped on a finding' "$out"/*.summary && status=1
else
    run fuzz_regfile regfile 4096
    run fuzz_hive hive 16384
    run fuzz_ncc ncc 16384
    run fuzz_smil smil 16384
    run fuzz_names smil 16384
    run fuzz_content content 16384
fi
echo "run folder: $out"
exit $status
