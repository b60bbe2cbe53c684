#!/usr/bin/env bash
# Checks what the README promises of the product: a 32-bit GUI executable
# under 48 KiB that needs no DLL beyond Windows' own.
#   scripts/check-product.sh [EXE]       default: build/win32/bin/Kestrune.exe
set -euo pipefail
exe=${1:-build/win32/bin/Kestrune.exe}
limit=$((48 * 1024))
allowed="ADVAPI32.dll KERNEL32.dll msvcrt.dll USER32.dll"
headers=$(i686-w64-mingw32-objdump -p "$exe")
size=$(stat -c %s "$exe")
dlls=$(awk '/DLL Name/ {print $3}' <<<"$headers" | sort -f | tr '\n' ' ')
status=0
[ "$size" -lt "$limit" ] || { echo "check-product: $exe is $size bytes, over $limit" >&2; status=1; }
grep -q "^Magic.*010b" <<<"$headers" || { echo "check-product: $exe is not a 32-bit executable" >&2; status=1; }
grep -q "^Subsystem.*Windows GUI" <<<"$headers" || { echo "check-product: $exe is not a GUI program" >&2; status=1; }
for dll in $dlls; do
  grep -qiw "$dll" <<<"$allowed" || { echo "check-product: $exe imports $dll" >&2; status=1; }
done
echo "check-product: $exe: $size bytes, imports $dlls$([ $status -eq 0 ] && echo '(passed)' || echo '(FAILED)')"
exit $status
