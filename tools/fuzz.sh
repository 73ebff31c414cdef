#!/usr/bin/env bash
# tools/fuzz.sh TARGET SECONDS: a coverage-guided campaign on one reader of user files (targets:
# lrc contentstream id3lyrics mp3d preferences playlistfile m3u cdg zip). Builds the libFuzzer programs
# with clang in build-fuzz (FUZZ_BUILD_DIR), installing clang when it is missing, then fuzzes from
# the seed corpus tests/fuzz/corpus/TARGET for SECONDS. A finding (crash, leak, timeout, memory
# blow-up) is minimised and copied into the seed corpus as finding-<sha1>, where it stays a
# regression test once fixed; the script then exits 1.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: tools/fuzz.sh TARGET SECONDS}
seeds=tests/fuzz/corpus/$target
[ -d "$seeds" ] || { echo "no such target: $target" >&2; exit 2; }

# What one run may take: songs are fuzzed up to 256 KiB, text formats up to 64 KiB.
case $target in
    mp3d | id3lyrics | cdg | zip) max_len=262144 ;;
    *) max_len=65536 ;;
esac

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y --no-install-recommends clang libclang-rt-dev >/dev/null
fi
tools/install-deps.sh
build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKIVO_FUZZ=ON >/dev/null
cmake --build "$build" --target "fuzz_$target"

program=$build/tests/fuzz/fuzz_$target
work=$build/fuzz-corpus/$target       # what the campaign learns; kept between campaigns
findings=$build/fuzz-findings/$target
mkdir -p "$work" "$findings"
export QT_QPA_PLATFORM=offscreen
status=0
"$program" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "$seeds" 2>&1 | tee "$build/fuzz-$target.log" || status=$?
grep -E "^#[0-9]+.*(DONE|pulse|NEW)" "$build/fuzz-$target.log" | tail -1 || true
grep -E "stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)" \
    "$build/fuzz-$target.log" || true
[ "$status" -eq 0 ] && exit 0

for artifact in "$findings"/*; do
    [ -f "$artifact" ] || continue
    minimal=$artifact.min
    "$program" -minimize_crash=1 -max_total_time=60 -exact_artifact_path="$minimal" \
        "$artifact" >/dev/null 2>&1 || true
    [ -s "$minimal" ] || cp "$artifact" "$minimal"
    name=finding-$(sha1sum "$minimal" | cut -c1-12)
    cp "$minimal" "$seeds/$name"
    echo "finding: $seeds/$name (from $(basename "$artifact"))"
    rm -f "$artifact" "$minimal"
done
exit 1
