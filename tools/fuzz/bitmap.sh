#!/usr/bin/env bash
# Fuzzes the bitmap loader (and the drawing of what it loads) with libFuzzer for the
# given number of seconds (default 60). The seed corpus is made by
# tools/fuzz/bmpseeds.py. With RUV_FUZZ_VALGRIND=1 the corpus is replayed afterwards
# under valgrind by a plain build of the same target (DWARF 4, which valgrind reads), which sees what the sanitizers
# cannot inside the uninstrumented toolkit (pixels read uninitialised).
#   tools/fuzz/bitmap.sh [seconds] [extra libFuzzer options...]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
out=${RUV_FUZZ_DIR:-build-fuzz/bitmap}
mkdir -p "$out/seeds" "$out/corpus" "$out/findings"
python3 tools/fuzz/bmpseeds.py "$out/seeds"
sources=(tests/fuzz/bitmap/BitmapFuzz.cpp platform/graphics/BitmapQt.cpp platform/core/Files.cpp)
qt=$(pkg-config --cflags --libs Qt6Gui)
# shellcheck disable=SC2086
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Iplatform/include "${sources[@]}" $qt -o "$out/fuzz_bitmap"
export QT_QPA_PLATFORM=offscreen
# The toolkit warns about every odd file it meets; the findings are what count.
export QT_LOGGING_RULES="default.warning=false;qt.gui.imageio.warning=false"
status=0
"$out/fuzz_bitmap" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/findings/" "$@" "$out/corpus" "$out/seeds" || status=$?
if [[ ${RUV_FUZZ_VALGRIND:-0} == 1 ]]; then
  # shellcheck disable=SC2086
  clang++ -std=c++20 -gdwarf-4 -O1 -fPIC -DRUV_FUZZ_REPLAY -Iplatform/include "${sources[@]}" $qt -o "$out/replay_bitmap"
  find "$out/corpus" "$out/seeds" "$out/findings" -type f -print0 |
    xargs -0 valgrind -q --error-exitcode=1 "$out/replay_bitmap" || status=$?
fi
exit "$status"
