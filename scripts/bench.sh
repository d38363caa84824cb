#!/usr/bin/env bash
# Start-up benchmark under Wine, side by side in one run with one persistent wineserver:
# - warm start: the packed x64 launcher (version cached, log off, the stand-in VM returning at
#   once) against bench_baseline.exe, which imports the same system DLLs, loads the same jvm.dll
#   and does the least an in-process launcher must (create the VM, call main, destroy it);
# - cold start: the same with the version cache emptied before every launcher run (one probe);
# - extraction of one 50 MB included file: the launcher's start with that file less its warm start,
#   against bench_copy.exe copying the same file with CopyFileW less its run on an empty file;
# - the hand-over of a single-instance application: a second copy's own run time and the time from
#   its start to startupPerformed in the running copy, beside a plain start of the same application;
# - the splash screen (under Xvfb, when it is installed): the time from process start to the first
#   paint of the splash window, beside the same for bench_window.exe (a program that only shows
#   such a window) and the warm start of the same application without splash;
# - the runtime search through the registry, cold (nothing cached): entry V finding a runtime
#   registered the way current distributions do it, with a release file, against entry Y finding one
#   under the JavaSoft keys of Java 8, which costs a version probe;
# - the sizes of the four launchers.
# Runs alternate launcher and baseline and are timed from inside Wine (bench_run.exe); the tables
# give medians and their ratio.
#   scripts/bench.sh [RUNS]      (default 21; needs a build: cmake --build --preset default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}
bin=build/bin
win=build/win64/bin
for f in "$bin/marlo-pack" "$bin/marlo64.exe" "$win/bench_baseline.exe" "$win/bench_copy.exe" "$win/bench_run.exe" \
         "$win/bench_window.exe" "$win/runtime/java.exe" "$win/runtime/jvm.dll"; do
  [ -f "$f" ] || { echo "bench: $f is missing; build first (cmake --build --preset default)" >&2; exit 2; }
done

work=$(mktemp -d /tmp/marlo-bench.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY BRENN_LOG KAVORA_LOG BRENN_JAVA_HOME KAVORA_JAVA_HOME MARLO_STANDIN_RECORD MARLO_STANDIN_SCENARIO
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1

app="$work/app"
mkdir -p "$app/jre/bin/server"
cp "$win/runtime/java.exe" "$app/jre/bin/java.exe"
cp "$win/runtime/java.exe" "$app/jre/bin/javaw.exe"
cp "$win/runtime/jvm.dll" "$app/jre/bin/server/jvm.dll"
printf 'first_line=java version "1.8.0_60"\r\n' > "$app/jre/bin/stand-in.cfg"
cp "$win/bench_baseline.exe" "$win/bench_copy.exe" "$win/bench_run.exe" "$win/bench_window.exe" "$app/"
description='launcher = "marlo"
arch = "x64"
[config]
MAIN_CLASS = "com.example.App"
CLASS_PATH = ["A0app.jar"]
MIN_JAVA_VERSION = "1.8"
JRE_SEARCH_SEQUENCE = ["Rjre"]'
printf '%s\n' "$description" > "$app/app.toml"
"$bin/marlo-pack" pack "$app/app.toml" -o "$app/app.exe" >/dev/null
head -c 52428800 /dev/urandom > "$app/data.bin"
: > "$app/empty.bin"
printf '%s\nSPLASH_SCREEN = true\nSPLASH_WIDTH = 240\nSPLASH_HEIGHT = 120\n' "$description" > "$app/splash.toml"
"$bin/marlo-pack" pack "$app/splash.toml" -o "$app/splash.exe" >/dev/null
printf '%s\n[[files]]\nname = "data.bin"\nsource = "data.bin"\n' "$description" > "$app/files.toml"
"$bin/marlo-pack" pack "$app/files.toml" -o "$app/files.exe" >/dev/null
printf '%s\nSINGLE_INSTANCE = true\n' "$description" > "$app/single.toml"
"$bin/marlo-pack" pack "$app/single.toml" -o "$app/single.exe" >/dev/null
jvm=$(winepath -w "$app/jre/bin/server/jvm.dll")
# Two installed runtimes for the registry searches: one registered by an Adoptium-style installer
# (with a release file), one under the JavaSoft keys of Java 8 (without).
for rt in vjre yjre; do
  mkdir -p "$work/$rt/bin/server"
  cp "$win/runtime/java.exe" "$work/$rt/bin/java.exe"
  cp "$win/runtime/java.exe" "$work/$rt/bin/javaw.exe"
  cp "$win/runtime/jvm.dll" "$work/$rt/bin/server/jvm.dll"
done
printf 'first_line=java version "1.8.0_60"\r\n' > "$work/yjre/bin/stand-in.cfg"
printf 'JAVA_VERSION="17.0.9"\nJAVA_RUNTIME_VERSION="17.0.9+9"\n' > "$work/vjre/release"
wine reg add 'HKLM\SOFTWARE\Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI' /v Path /d "$(winepath -w "$work/vjre")\\" \
  /f /reg:64 >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\JavaSoft\Java Runtime Environment' /v CurrentVersion /d 1.8 /f /reg:64 >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\JavaSoft\Java Runtime Environment\1.8' /v JavaHome /d "$(winepath -w "$work/yjre")" \
  /f /reg:64 >/dev/null 2>&1
for entry in V Y; do
  printf '%s\n' "$description" | sed "s/^JRE_SEARCH_SEQUENCE = .*/JRE_SEARCH_SEQUENCE = [\"$entry\"]/" > "$app/search$entry.toml"
  "$bin/marlo-pack" pack "$app/search$entry.toml" -o "$app/search$entry.exe" >/dev/null
done

# One measured pass: bench_run.exe starts the two command lines in turn, RUNS times each, timing
# them from inside Wine; prints "a MICROSECONDS" / "b MICROSECONDS" lines.
measure() { wine bench_run.exe "$runs" "$@" | tr -d '\r'; }
median_of() { awk -v k="$1" '$1 == k {print $2}' | sort -n |
  awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }
probes() { if [ -f "$app/jre/bin/runs.log" ]; then grep -c . "$app/jre/bin/runs.log"; else echo 0; fi; }

cd "$app"
# Warm-up: the first runs map the programs and fill the version cache.
wine app.exe >/dev/null 2>&1
wine bench_baseline.exe "$jvm" >/dev/null 2>&1

sync
before=$(probes)
warm=$(measure "app.exe" "bench_baseline.exe $jvm")
warm_children=$(($(probes) - before))
before=$(probes)
cold=$(measure --clear-cache "app.exe" "bench_baseline.exe $jvm")
cold_children=$(($(probes) - before))
runs_of() { if [ -f "$work/$1/bin/runs.log" ]; then grep -c . "$work/$1/bin/runs.log"; else echo 0; fi; }
wine searchV.exe >/dev/null 2>&1
wine searchY.exe >/dev/null 2>&1
# The cache is cleared before each run of the first command; V's runtime has nothing cached.
registry=$(measure --clear-cache "searchY.exe" "searchV.exe")
v_children=$(runs_of vjre)
y_children=$(runs_of yjre)
sync
extract=$(measure "files.exe" "app.exe")
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/brn*.tmp_dir*
sync
copy=$(measure "bench_copy.exe data.bin copy.bin" "bench_copy.exe empty.bin empty-copy.bin")
# Plain starts of the single-instance application (no copy running) against the same without it.
plain=$(measure "single.exe" "app.exe")
# The running copy waits in main until the stop file exists; second copies start one at a time.
record="$work/handover.jsonl"
MARLO_STANDIN_RECORD=$(winepath -w "$record") MARLO_STANDIN_SCENARIO="main-waits-file=$(winepath -w "$app/stop")" \
  wine single.exe >/dev/null 2>&1 &
first=$!
for _ in $(seq 600); do grep -q '"event":"main"' "$record" 2>/dev/null && break; sleep 0.1; done
handover=$(wine bench_run.exe --handover "$runs" "$(winepath -w "$record")" single.exe | tr -d '\r')
: > "$app/stop"
wait "$first"

# The splash needs a display, and windows need a desktop started on it: the Wine session starts
# again with DISPLAY set to a virtual display of its own.
painted=""
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
  wineserver -k >/dev/null 2>&1 || true
  export DISPLAY=":$(head -n1 "$work/display")"
  wineserver -p
  wine splash.exe >/dev/null 2>&1 || true   # warm-up, and the desktop on the display
  painted=$(wine bench_run.exe --splash "$runs" BrennSplashScreen splash.exe bench_window.exe app.exe | tr -d '\r')
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  unset DISPLAY
fi
cd - >/dev/null

row() {
  local l b
  l=$(printf '%s\n' "$2" | median_of a)
  b=$(printf '%s\n' "$2" | median_of b)
  awk -v n="$1" -v l="$l" -v b="$b" \
    'BEGIN {printf "| %-28s | %9.1f ms | %9.1f ms | %6.3f | %+6.1f %% |\n", n, l / 1000, b / 1000, l / b, (l / b - 1) * 100}'
}
size() { stat -c %s "$bin/$1"; }
median_ms() { printf '%s\n' "$2" | median_of "$1" | awk '{printf "%.1f", $1 / 1000}'; }

echo "Start-up under Wine 64-bit ($(wine --version)), $runs alternating runs each, medians"
echo
echo "| start                        |   launcher   |   baseline   |  ratio | overhead |"
echo "|------------------------------|--------------|--------------|--------|----------|"
row "warm (version cached)" "$warm"
row "cold (one version probe)" "$cold"
echo
echo "Child processes: $warm_children in $runs warm starts, $cold_children in $runs cold starts."

echo
echo "| registry search, cold                  |    median |"
echo "|----------------------------------------|-----------|"
printf '| %-38s | %6s ms |\n' "entry V (release file)" "$(median_ms b "$registry")"
printf '| %-38s | %6s ms |\n' "entry Y (one version probe)" "$(median_ms a "$registry")"
echo
echo "Child processes: $v_children for V and $y_children for Y in $((runs + 1)) starts each."

diff_ms() {  # median of the a runs less median of the b runs, in ms
  local a b
  a=$(printf '%s\n' "$1" | median_of a)
  b=$(printf '%s\n' "$1" | median_of b)
  awk -v a="$a" -v b="$b" 'BEGIN {printf "%.1f", (a - b) / 1000}'
}
extract=$(diff_ms "$extract")
copy=$(diff_ms "$copy")
echo
echo "| 50 MB included file          |   launcher   | CopyFileW    |  ratio |"
echo "|------------------------------|--------------|--------------|--------|"
awk -v e="$extract" -v c="$copy" 'BEGIN {printf "| %-28s | %9.1f ms | %9.1f ms | %6.2f |\n", "extraction against a copy", e, c, (c > 0 ? e / c : 0)}'
echo
echo "| single-instance application          |    median |"
echo "|----------------------------------------|-----------|"
printf '| %-38s | %6s ms |\n' "plain start (no copy running)" "$(median_ms a "$plain")"
printf '| %-38s | %6s ms |\n' "same application, single instance off" "$(median_ms b "$plain")"
printf '| %-38s | %6s ms |\n' "second copy's own run time" "$(median_ms s "$handover")"
printf '| %-38s | %6s ms |\n' "hand-over: start to startupPerformed" "$(median_ms h "$handover")"
if [ -n "$painted" ]; then
  echo
  echo "| splash screen (Xvfb)                   |    median |"
  echo "|----------------------------------------|-----------|"
  printf '| %-38s | %6s ms |\n' "start to the splash's first paint" "$(median_ms p "$painted")"
  printf '| %-38s | %6s ms |\n' "first paint of a window-only program" "$(median_ms f "$painted")"
  printf '| %-38s | %6s ms |\n' "warm start without splash (whole run)" "$(median_ms w "$painted")"
else
  echo
  echo "Splash screen: not measured (Xvfb is not installed)."
fi
echo
echo "| launcher    |     bytes |"
echo "|-------------|-----------|"
for exe in marlo.exe pivok.exe marlo64.exe pivok64.exe; do
  printf '| %-11s | %9s |\n' "$exe" "$(size "$exe")"
done
