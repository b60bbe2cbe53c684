#!/usr/bin/env bash
# Checks what the README promises of the product: a 32-bit GUI executable
# under 48 KiB that needs no DLL beyond Windows' own, and that imports no
# function whose ANSI form ignores the process's code page or cuts its text.
#   scripts/check-product.sh [EXE]          default: build/win32/bin/Kestrune.exe
#   scripts/check-product.sh --imports EXE  only the imported functions, of either build
set -euo pipefail
only_imports=false
[ "${1:-}" = --imports ] && { only_imports=true; shift; }
exe=${1:-build/win32/bin/Kestrune.exe}
limit=$((48 * 1024))
allowed="ADVAPI32.dll KERNEL32.dll msvcrt.dll USER32.dll"
# Each compares or upper-cases through the thread locale's code page (never
# UTF-8), or copies a file name into a fixed field of MAX_PATH bytes.
forbidden="lstrcmpiA CompareStringA FindFirstFileA FindFirstFileExA FindNextFileA _mbsupr"
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
status=0
for function in $forbidden; do
  grep -qE "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$function\$" <<<"$headers" \
    && { echo "check-product: $exe imports $function" >&2; status=1; }
done
if $only_imports; then
  echo "check-product: $exe, imports that must not be there: $forbidden$([ $status -eq 0 ] && echo ' (passed)' || echo ' (FAILED)')"
  exit $status
fi
size=$(stat -c %s "$exe")
dlls=$(awk '/DLL Name/ {print $3}' <<<"$headers" | sort -f | tr '\n' ' ')
[ "$size" -lt "$limit" ] || { echo "check-product: $exe is $size bytes, over $limit" >&2; status=1; }
grep -q "^Magic.*010b" <<<"$headers" || { echo "check-product: $exe is not a 32-bit executable" >&2; status=1; }
grep -q "^Subsystem.*Windows GUI" <<<"$headers" || { echo "check-product: $exe is not a GUI program" >&2; status=1; }
for dll in $dlls; do
  grep -qiw "$dll" <<<"$allowed" || { echo "check-product: $exe imports $dll" >&2; status=1; }
done
echo "check-product: $exe: $size bytes, imports $dlls$([ $status -eq 0 ] && echo '(passed)' || echo '(FAILED)')"
exit $status
