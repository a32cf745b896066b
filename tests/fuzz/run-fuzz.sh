#!/usr/bin/env bash
# Builds the MFT reader's fuzz target with clang (libFuzzer, ASan, UBSan)
# and runs it a fixed number of times from seeds cut out of the fuzz base
# image (the volume's first bytes, and each of its first 48 MFT records) and
# the damaged records in tests/fuzz/seeds.
# Usage: run-fuzz.sh SOURCE_DIR WORK_DIR RUNS. Exits 77 when clang cannot
# build a fuzzer here.
set -euo pipefail
src=$1 work=$2 runs=$3
mkdir -p "$work"
exe="$work/norvale_mft_fuzz"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
# Skipped only where clang cannot make a fuzzer at all; a target that no
# longer builds (a source file missing below) fails.
probe="$work/probe.cpp"
printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n' > "$probe"
if ! command -v clang++ >/dev/null || ! clang++ "${flags[@]}" "$probe" -o "$work/probe" 2>"$work/build.log"; then
  echo "no clang with libFuzzer here: skipped"; exit 77
fi
if ! clang++ "${flags[@]}" -pthread -I"$src" "$src/tests/fuzz/mft_fuzz.cpp" "$src/largefiles/mft_record.cpp" \
     "$src/largefiles/mft_reader.cpp" "$src/largefiles/mft.cpp" "$src/largefiles/finder.cpp" \
     "$src/largefiles/space_scan.cpp" "$src/largefiles/space_tree.cpp" \
     "$src/platform/fs_common.cpp" "$src/platform/fs_posix.cpp" "$src/platform/expand.cpp" \
     "$src/text/wildcard.cpp" "$src/text/text16.cpp" -o "$exe" 2>"$work/build.log"; then
  cat "$work/build.log" >&2; echo "the fuzz target does not build" >&2; exit 1
fi
base="$work/fuzz-base.img"
xz -dc "$src/tests/ntfs/fuzz-base.img.xz" > "$base"
seeds="$work/seeds"
rm -rf "$seeds"; mkdir -p "$seeds"
# The boot sector's MFT position and record size, as the target reads them.
read -r sector perCluster <<<"$(od -An -tu2 -j11 -N2 "$base") $(od -An -tu1 -j13 -N1 "$base")"
lcn=$(od -An -tu8 -j48 -N8 "$base" | tr -d ' ')
mft=$((lcn * sector * perCluster))
{ printf '\x00'; head -c $((mft + 64 * 1024)) "$base"; } > "$seeds/volume"
for r in $(seq 0 47); do
  { printf '\x01'; printf "\\x$(printf %02x "$r")"; dd if="$base" bs=1024 skip=$((mft / 1024 + r)) count=1 status=none; } \
    > "$seeds/record-$r"
done
# And damaged records that once had the reader list names no Win32 file can
# have: a file record moved into a free slot with ':' in its name, or "..".
cp "$src"/tests/fuzz/seeds/* "$seeds"/
export NORVALE_FUZZ_BASE="$base"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# libFuzzer's own exit code for a crash is 77, which CTest takes for "skipped"
# here: a crash must fail the test.
"$exe" -runs="$runs" -max_len=$((mft + 64 * 1024 + 1)) -seed=1 -print_final_stats=1 -error_exitcode=1 \
  -timeout_exitcode=1 -artifact_prefix="$work/" "$seeds" 2>&1 | tail -12
