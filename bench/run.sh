#!/usr/bin/env bash
# Measures the utility under Wine and prints a table for the README.
#   bench/run.sh [OTHER_WINDOWS [RUNS]]     defaults: 1000 windows, 7 runs
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
source scripts/wine-session.sh
for preset in win32 win64; do
  cmake --preset "$preset" -DKESTRUNE_TESTS=ON >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" --target Kestrune >/dev/null
done
cmake --build --preset "$KESTRUNE_TEST_PRESET" -j"$(nproc)" --target kestrune_bench >/dev/null
wine_session_start "$root/build/$KESTRUNE_TEST_PRESET"
"$KESTRUNE_WINE" "build/$KESTRUNE_TEST_PRESET/bin/kestrune_bench.exe" "$@"
for preset in win32 win64; do
  size=$(stat -c %s "build/$preset/bin/Kestrune.exe")
  dlls=$(x86_64-w64-mingw32-objdump -p "build/$preset/bin/Kestrune.exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')
  echo "| Kestrune.exe size ($preset) | $size bytes ($((size / 1024)) KiB) | tens of KiB; imports: $dlls|"
done
echo "(measured on the $KESTRUNE_TEST_PRESET build: $KESTRUNE_ARCH_REASON)"
