#!/usr/bin/env bash
# Builds the benchmarks in a Release build (build-bench), runs them all against
# local servers on 127.0.0.1 and a private X server (Xvfb), and prints one Markdown
# table of measure, value and what it is compared with, and the machine it ran on.
#   RUV_BENCH_RUNS   runs of each start-up measurement (default 15)
# The launcher is started on the port its built-in URL template names (default
# 127.0.0.1:8765), which must be free while this runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${RUV_BENCH_BUILD_DIR:-build-bench}
runs=${RUV_BENCH_RUNS:-15}
title="Programy systemu RUV v.3.0.0.3"

note() { echo "bench: $*" >&2; }
note "building in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(bench_config_binding bench_download bench_download_once bench_terminals bench_plik_download
         bench_window_timing bench_minimal_window bench_window_list ruv_virad)
cmake --build "$build" --target "${targets[@]}" >/dev/null
exe() { realpath "$(find "$build" -name "$1" -type f -perm -u+x | head -1)"; }
launcher_exe=$(exe ruv_virad.exe)
timing=$(exe bench_window_timing)
minimal=$(exe bench_minimal_window)
port=$(sed -n 's|^RUV_URL_TEMPLATES:STRING=http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$build/CMakeCache.txt")
[[ -n $port ]] || { note "the built-in URL template is not a plain-HTTP one on 127.0.0.1"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
results=$work/results
: >"$results"
put() { echo "$1 $2" >>"$results"; }

# Starts the test server (arguments after the root); sets server_port, adds the pid.
serve() {
  local root=$1
  shift
  rm -f "$work/port"
  python3 tools/http/test_server.py --root "$root" "$@" >"$work/port" &
  pids+=($!)
  for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.1; done
  server_port=$(head -1 "$work/port")
  [[ -n $server_port ]] || { note "the test server did not start"; exit 1; }
}
stop_last() { local p=${pids[-1]}; kill "$p"; wait "$p" 2>/dev/null || true; unset 'pids[-1]'; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

# --- Downloads from a local server: a 256 MiB terminal file to disk, and a ------
# --- 16 MiB file (the largest configuration) to memory --------------------------
note "downloads"
size=$((256 * 1024 * 1024))
small=$((16 * 1024 * 1024))
mkdir -p "$work/files/duzy"
head -c "$size" /dev/urandom >"$work/files/duzy/duzy.exe"
head -c "$small" /dev/urandom >"$work/files/konfiguracja.xml"
echo '{"/slow.xml": {"delay": 8}}' >"$work/rules.json"
serve "$work/files" --rules "$work/rules.json"
base="http://127.0.0.1:$server_port"
export no_proxy=127.0.0.1,localhost

# To memory: downloadToStream against curl to /dev/null, and one fetch's peak memory.
RUV_BENCH_BASE_URL=$base RUV_BENCH_FILE=konfiguracja.xml RUV_BENCH_FILE_SIZE=$small \
  "$(exe bench_download)" --benchmark_format=json --benchmark_out="$work/download.json" >/dev/null 2>&1
read -r _ bytes _ rss < <("$(exe bench_download_once)" fetch "$base" konfiguracja.xml)
[[ $bytes == "$small" ]] || { note "downloadToStream fetched $bytes bytes"; exit 1; }
put stream_rss_kib "$rss"
put small "$small"
read -r _ _ _ wall _ cpu < <("$(exe bench_download_once)" timeout "$base" slow.xml)
put timeout_wall_ms "$wall"
put timeout_thread_cpu_ms "$cpu"

# To disk: TPlik::download against the curl tool writing the same file, in turns.
for _ in 1 2 3; do
  for way in plik curl; do
    mkdir "$work/disk"
    synced=
    read -r _ bytes _ wall _ rss _ synced < <("$(exe bench_plik_download)" "$way" "$base" "$work/disk")
    [[ $bytes == "$size" ]] || { note "$way wrote $bytes bytes"; exit 1; }
    [[ -z $synced ]] || echo "$synced" >>"$work/synced.wall"
    echo "$wall" >>"$work/$way.wall"
    echo "$rss" >>"$work/$way.rss"
    rm -rf "$work/disk"
  done
done
for way in plik curl; do
  put "${way}_wall_ms" "$(median <"$work/$way.wall")"
  put "${way}_rss_kib" "$(sort -g "$work/$way.rss" | tail -1)"
done
put curl_synced_ms "$(median <"$work/synced.wall")"
put size "$size"
stop_last
rm -rf "$work/files"

# --- The launcher under Xvfb, on its built-in port -------------------------------
# The end-to-end tests hold the same lock while they use the port.
exec 9>"/tmp/ruv_virad_port_$port.lock"
flock 9
for _ in $(seq 60); do
  ss -ltn "sport = :$port" | grep -q LISTEN || break
  note "port $port is in use; waiting"
  sleep 1
done
ss -ltn "sport = :$port" | grep -q LISTEN && { note "port $port stays in use"; exit 1; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
[[ $DISPLAY != ":" ]] || { note "Xvfb did not start"; exit 1; }
export QT_QPA_PLATFORM=xcb
launcher_env() {
  rm -rf "$work/run"
  mkdir -p "$work/run/home" "$work/run/config" "$work/run/cwd"
  cp "$launcher_exe" "$work/run/cwd/ruv_virad.exe"
  mkdir -m 700 "$work/run/xdg-runtime"
  export HOME=$work/run/home XDG_CONFIG_HOME=$work/run/config XDG_RUNTIME_DIR=$work/run/xdg-runtime
}

# Start-up: 50 offered terminals without icons, so nothing is fetched at draw time.
note "start-up, $runs runs each"
mkdir -p "$work/site"
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<ruv_virad xmlns="http://ruv.local/ruv_virad" prog_version="3.0">'
  echo '<link>http://127.0.0.1:1/pomoc</link>'
  echo '<clForm value="clWhite"/><clText value="clWindowText"/><clLink value="clBlue"/>'
  echo '<clBtnNormal value="$00F0E0D0"/><clBtnHighlight value="clSkyBlue"/><clBtnFrame value="clNavy"/>'
  echo '<clBtnText value="clNavy"/><btnWidth value="260"/><btnHeight value="40"/><topMargin value="40"/>'
  echo '<margin value="10"/><textSize value="10"/><btnTextSize value="11"/>'
  echo '<network mask="255.255.255.255" ip="192.0.2.77"/>'
  for t in $(seq 1 50); do
    echo "<terminal><id>t$t</id><name>Terminal $t</name><version>1.0.0.1</version><access_mode value=\"all\"/>"
    echo "<exe_file><name>t$t.exe</name><target_path>terminale\\t$t</target_path><source_path>t$t</source_path></exe_file></terminal>"
  done
  echo '</ruv_virad>'
} >"$work/site/ruv_virad_2.xml"
serve "$work/site" --port "$port" --log "$work/requests.log"
launcher_env
(cd "$work/run/cwd" && "$timing" start "$runs" "$title" ./ruv_virad.exe) >"$work/launcher.start"
(cd "$work/run/cwd" && "$timing" start "$runs" "ruv bench window" \
  "$minimal") >"$work/minimal.start"
put launcher_start_ms "$(awk '/^median_ms/ {print $2}' "$work/launcher.start")"
put minimal_start_ms "$(awk '/^median_ms/ {print $2}' "$work/minimal.start")"
if grep -v '^GET /ruv_virad_2.xml' "$work/requests.log" >&2; then note "the launcher fetched more than its configuration"; exit 1; fi
stop_last

# The timed fetch: the server accepts and answers only after 30 s; the launcher's
# CPU time from exec to its first box (after the 5 s limit).
note "timed fetch"
echo '{"/ruv_virad_2.xml": {"delay": 30}}' >"$work/stall.json"
serve "$work/site" --port "$port" --rules "$work/stall.json"
launcher_env
read -r _ cpu _ wall _ box < <(cd "$work/run/cwd" && "$timing" cpu 6.5 ./ruv_virad.exe)
put fetch_cpu_s "$cpu"
put fetch_wall_s "$wall"
echo "$box" >"$work/box"
read -r _ cpu _ wall _ _ < <(cd "$work/run/cwd" && "$timing" cpu 6.5 "$minimal")
put minimal_cpu_s "$cpu"
stop_last

# --- Configuration and offered-terminal list --------------------------------------
note "configuration and offered terminals"
"$(exe bench_terminals)" --benchmark_format=json --benchmark_out="$work/terminals.json" >/dev/null 2>&1
"$(exe bench_config_binding)" --benchmark_format=json --benchmark_out="$work/config.json" >/dev/null 2>&1
note "window walk"
"$(exe bench_window_list)" --benchmark_format=json --benchmark_out="$work/windows.json" >/dev/null 2>&1

machine="$(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), \
$(awk '/^MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo) memory, $(date -u '+%Y-%m-%d %H:%M UTC')"
python3 - "$work" "$runs" "$machine" <<'PY'
import json, sys
work, runs, machine = sys.argv[1], int(sys.argv[2]), sys.argv[3]
r = {k: float(v) for k, v in (line.split() for line in open(f"{work}/results"))}
def bench(name):
    return {b["name"]: b for b in json.load(open(f"{work}/{name}.json"))["benchmarks"]}
dl, term, cfg, win = bench("download"), bench("terminals"), bench("config"), bench("windows")
mib = 2 ** 20
size = r["size"]
plik = size / mib / (r["plik_wall_ms"] / 1e3)
curl = size / mib / (r["curl_wall_ms"] / 1e3)
synced = size / mib / (r["curl_synced_ms"] / 1e3)
stream = dl["BM_downloadToStream/min_time:2.000/real_time"]["bytes_per_second"] / mib
tool = dl["BM_curlTool/min_time:2.000/real_time"]["bytes_per_second"] / mib
box = open(f"{work}/box").read().strip()
def ms(b): return f"{b['real_time']:.2f} ms" if b["time_unit"] == "ms" else f"{b['real_time']} {b['time_unit']}"
rows = [
    ("TPlik::download, 256 MiB to disk (median of 3)", f"{plik:.0f} MiB/s",
     f"curl tool to disk, then the file flushed to disk (as the atomic write does): {synced:.0f} MiB/s, "
     f"ratio {plik / synced:.2f}; curl without the flush: {curl:.0f} MiB/s, ratio {plik / curl:.2f}"),
    ("TPlik::download peak memory (max RSS)", f"{r['plik_rss_kib'] / 1024:.0f} MiB for the 256 MiB file",
     f"curl tool: {r['curl_rss_kib'] / 1024:.0f} MiB"),
    ("downloadToStream, 16 MiB to memory", f"{stream:.0f} MiB/s", f"curl tool to /dev/null: {tool:.0f} MiB/s; ratio {stream / tool:.2f}"),
    ("downloadToStream peak memory (max RSS)", f"{r['stream_rss_kib'] / 1024:.0f} MiB for the 16 MiB file", ""),
    (f"Launcher start-up to main window mapped, 50 terminals (median of {runs})", f"{r['launcher_start_ms']:.0f} ms",
     f"minimal Qt window: {r['minimal_start_ms']:.0f} ms"),
    ("Launcher CPU during a fetch that times out (exec to first box)",
     f"{r['fetch_cpu_s']:.2f} s CPU / {r['fetch_wall_s']:.2f} s wall = {r['fetch_cpu_s'] / r['fetch_wall_s']:.3f}",
     f"spinning wait: 1.000; minimal Qt window start-up alone: {r['minimal_cpu_s']:.2f} s CPU"),
    ("downloadWithTimeout timing out: calling thread's CPU", f"{r['timeout_thread_cpu_ms']:.2f} ms over {r['timeout_wall_ms']:.0f} ms",
     "spinning wait: the whole wall time"),
    ("Offered-terminal list, 200 terminals × 20 networks, fixed addresses", ms(term["OfferedList/fixed_addresses"]), ""),
    ("Offered-terminal list, 200 terminals × 20 networks, machine's addresses", ms(term["OfferedList/machine_lookup"]), ""),
    ("Configuration of 1,000 terminals × 12 files: load", ms(cfg["BM_LoadConfig"]),
     f"{cfg['BM_LoadConfig']['bytes_per_second'] / mib:.0f} MiB/s"),
    ("Configuration of 1,000 terminals × 12 files: load and read every value", ms(cfg["BM_LoadAndWalkConfig"]), ""),
    ("Close requests to other launchers, 200 windows of another program under openbox", ms(win["Walk/openbox/200"]),
     f"no window manager: {ms(win['Walk/plain/200'])}"),
]
print("| Measure | Value | Comparison |")
print("|---|---|---|")
for row in rows:
    print("| " + " | ".join(row) + " |")
print()
print(f"Machine: {machine}. First box of the timed fetch: \"{box}\".")
PY
