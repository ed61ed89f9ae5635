#!/usr/bin/env bash
# Fuzzes the version reader with libFuzzer for the given number of seconds
# (default 60). The seed corpus is made by tools/version/versioninfo.py from the
# test fixtures' descriptions, in every container format, together with the
# fixtures built by the MinGW tool chain (resources in several languages).
#   tools/fuzz/version.sh [seconds] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
out=${RUV_FUZZ_DIR:-build-fuzz/version}
mkdir -p "$out/seeds" "$out/corpus" "$out/findings"
for desc in tests/platform/version/fixtures/*.json; do
  for format in blob pe32 pe64 elf32 elf64; do
    python3 tools/version/versioninfo.py "$format" -o "$out/seeds/$(basename "$desc" .json).$format" --describe "$desc"
  done
done
cp tests/platform/version/fixtures/*.exe "$out/seeds/"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Iplatform/include -Iplatform/version \
  tests/fuzz/version/VersionFuzz.cpp platform/version/VersionResource.cpp platform/version/VersionInfo.cpp \
  platform/core/Files.cpp -o "$out/fuzz_version"
exec "$out/fuzz_version" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$out/findings/" "$@" "$out/corpus" "$out/seeds"
