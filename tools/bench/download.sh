#!/usr/bin/env bash
# Download benchmarks against the local test server: downloadToStream of a 256 MiB
# file against the curl tool (same file, same run), the fetch's peak memory, and the
# CPU time the calling thread spends in a timed fetch that times out. Prints a table.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${RUV_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_download bench_download_once >/dev/null
bin=$(dirname "$(find "$build" -name bench_download -type f -perm -u+x | head -1)")

work=$(mktemp -d)
server=
cleanup() { [[ -n $server ]] && kill "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir "$work/root"
size=$((256 * 1024 * 1024))
head -c "$size" /dev/urandom >"$work/root/big.bin"
echo '{"/slow.xml": {"delay": 8}}' >"$work/rules.json"
python3 tools/http/test_server.py --root "$work/root" --rules "$work/rules.json" >"$work/port" &
server=$!
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.1; done
base="http://127.0.0.1:$(head -1 "$work/port")"

RUV_BENCH_BASE_URL=$base RUV_BENCH_FILE=big.bin RUV_BENCH_FILE_SIZE=$size \
  "$bin/bench_download" --benchmark_format=json --benchmark_out="$work/bench.json" >/dev/null 2>&1
read -r _ bytes _ rss < <("$bin/bench_download_once" fetch "$base" big.bin)
read -r _ _ _ wall _ cpu < <("$bin/bench_download_once" timeout "$base" slow.xml)

python3 - "$work/bench.json" "$size" "$bytes" "$rss" "$wall" "$cpu" <<'PY'
import json, sys
bench = {b["name"].split("/")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
size, got, rss, wall, cpu = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5]), float(sys.argv[6])
ours, tool = bench["BM_downloadToStream"], bench["BM_curlTool"]
mib = lambda b: b["bytes_per_second"] / 2**20
print(f"{'measure':<52} {'value':>14}")
print(f"{'downloadToStream 256 MiB, throughput (MiB/s)':<52} {mib(ours):>14.0f}")
print(f"{'curl tool same file, throughput (MiB/s)':<52} {mib(tool):>14.0f}")
print(f"{'throughput ratio (downloadToStream / curl tool)':<52} {mib(ours) / mib(tool):>14.2f}")
print(f"{'peak RSS of one 256 MiB fetch (MiB)':<52} {rss / 1024:>14.0f}")
print(f"{'peak RSS / file size':<52} {rss * 1024 / size:>14.2f}")
print(f"{'downloadWithTimeout timing out: wall (ms)':<52} {wall:>14.0f}")
print(f"{'downloadWithTimeout timing out: caller CPU (ms)':<52} {cpu:>14.3f}")
assert got == size, "fetched size differs"
PY
