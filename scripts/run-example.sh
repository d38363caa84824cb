#!/usr/bin/env bash
# Sets everything up, builds, packs the example application, prints its configuration back and
# starts it under Wine against the stand-in test runtime, then shows what the Java side received.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default

out=build/example
rm -rf "$out"
mkdir -p "$out"
build/bin/marlo-pack pack examples/hello/hello.toml -o "$out/hello.exe"
echo "== Packed $out/hello.exe; its configuration block:"
build/bin/marlo-pack dump "$out/hello.exe"

# The example looks for its runtime in "jre" beside the executable. Here that is the stand-in
# test runtime: a java.exe that answers the version probe and a jvm.dll that records what the
# launcher hands the VM instead of running Java. On Windows a real runtime goes there (or is
# found through the registry, JAVA_HOME-style variables or the other search entries).
rt="$out/jre"
mkdir -p "$rt/bin/server"
cp build/win64/bin/runtime/java.exe "$rt/bin/java.exe"
cp build/win64/bin/runtime/java.exe "$rt/bin/javaw.exe"
cp build/win64/bin/runtime/jvm.dll "$rt/bin/server/jvm.dll"
printf 'first_line=java version "1.8.0_60"\nexit_code=0\n' > "$rt/bin/stand-in.cfg"

export WINEPREFIX="$PWD/build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true
record="$PWD/$out/java-side.jsonl"
echo "== Starting $out/hello.exe \"Hello, world.txt\" under Wine"
set +e
MARLO_STANDIN_RECORD="$(winepath -w "$record" 2>/dev/null)" wine "$out/hello.exe" "Hello, world.txt"
code=$?
set -e
echo "== Exit code: $code"
echo "== What the Java side received ($record):"
if command -v python3 >/dev/null; then
  python3 - "$record" <<'PY'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    event = json.loads(line)
    if event.get("event") == "create":
        print("VM options:")
        for option in event["options"]:
            print("   ", option)
    elif event.get("event") == "main":
        print("main class called:", event["class"])
        print("main arguments:")
        for i, arg in enumerate(event["args"]):
            print("    [%d] %r" % (i, arg))
PY
else
  cat "$record"
fi
exit "$code"
