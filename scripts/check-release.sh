#!/usr/bin/env bash
# Checks what installer authors receive: the release package holds the
# executable that was built, the README, the license and SHA256SUMS that
# match them; and a second build of the product in another folder gives the
# same executable byte for byte.
#   scripts/check-release.sh            (after the win32 preset has been built)
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(Kestrune VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
exe=build/win32/bin/Kestrune.exe
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --build --preset win32 --target package >/dev/null
zip="$PWD/build/win32/Kestrune-$version-win32.zip"
mkdir "$scratch/unpacked" && (cd "$scratch/unpacked" && cmake -E tar xf "$zip")
listing=$(cd "$scratch/unpacked" && ls -A | sort | tr '\n' ' ')
[ "$listing" = "Kestrune.exe LICENSE README.md SHA256SUMS " ] \
  || { echo "check-release: $zip holds: $listing" >&2; exit 1; }
cmp "$scratch/unpacked/Kestrune.exe" "$exe" || { echo "check-release: the packaged exe is not $exe" >&2; exit 1; }
(cd "$scratch/unpacked" && sha256sum --quiet -c SHA256SUMS) || { echo "check-release: SHA256SUMS do not match" >&2; exit 1; }
[ "$(wc -l <"$scratch/unpacked/SHA256SUMS")" -eq 3 ] || { echo "check-release: SHA256SUMS lists other than 3 files" >&2; exit 1; }

# The product alone, configured like the preset, in a folder of another name.
cmake -S . -B "$scratch/second build" --toolchain "$PWD/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$scratch/second build" -j"$(nproc)" --target Kestrune >/dev/null
cmp "$scratch/second build/bin/Kestrune.exe" "$exe" \
  || { echo "check-release: a second build gives another Kestrune.exe" >&2; exit 1; }
echo "check-release: $zip: $listing(checksums match); a second build in another folder is byte-identical"
