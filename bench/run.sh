#!/usr/bin/env bash
# Measures the utility under Wine and prints a table for the README.
#   bench/run.sh [OTHER_WINDOWS [RUNS]]     defaults: 1000 windows, 7 runs
source "$(dirname "$0")/../scripts/preamble.sh"
for preset in win32 win64; do
  kestrune_build "$preset" Kestrune >/dev/null
done
kestrune_build "$KESTRUNE_TEST_PRESET" kestrune_bench >/dev/null
wine_session_start "$KESTRUNE_ROOT/build/$KESTRUNE_TEST_PRESET"
bin="build/$KESTRUNE_TEST_PRESET/bin"
"$KESTRUNE_WINE" "$bin/kestrune_bench.exe" "$@"

# CPU time of a Kestrune.exe waiting for a window that never comes, among
# 1,000 windows whose captions are shorter than its prefix, then longer,
# read from the kernel's accounting of its process. The crowd is up once
# kt_window has written its ready file.
others=${1:-1000}
ready=$(mktemp -d)
for crowd in "KtBench crowd" "KtBench crowd: a top-level window of another application"; do
  rm -f "$ready/ready"
  "$KESTRUNE_WINE" "$bin/kt_window.exe" --hidden --count "$others" --files "Z:${ready//\//\\}" \
    --caption "$crowd" 600000 &
  crowd_pid=$!
  for _ in $(seq 600); do [ -s "$ready/ready" ] && break; sleep 0.1; done
  "$KESTRUNE_WINE" "$bin/Kestrune.exe" /c=KtBenchNeverShownAnywhere /n=nothing.exe &
  waiter=$!
  sleep 3
  ticks() { awk '{print $14 + $15}' "/proc/$waiter/stat"; }
  t0=$(ticks)
  sleep 30
  t1=$(ticks)
  hz=$(getconf CLK_TCK)
  kill "$waiter" "$crowd_pid" 2>/dev/null || true
  wait "$waiter" "$crowd_pid" 2>/dev/null || true
  echo "| Kestrune.exe CPU time per minute of waiting, ${#crowd}-character captions | $(( (t1 - t0) * 1000 * 2 / hz )) ms | 120 probes a minute, asleep in between |"
done
rm -rf "$ready"
for preset in win32 win64; do
  size=$(stat -c %s "build/$preset/bin/Kestrune.exe")
  dlls=$(x86_64-w64-mingw32-objdump -p "build/$preset/bin/Kestrune.exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')
  echo "| Kestrune.exe size ($preset) | $size bytes ($((size / 1024)) KiB) | tens of KiB; imports: $dlls|"
done
echo "(measured on the $KESTRUNE_TEST_PRESET build: $KESTRUNE_ARCH_REASON)"
