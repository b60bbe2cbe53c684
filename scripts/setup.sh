#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12, and does nothing
# when it is all there already. Safe to run as often as you like.
set -euo pipefail

# wine64 runs the x86_64 build where the kernel cannot run 32-bit programs.
packages=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth googletest nsis cppcheck clang-format)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}" >&2
# wine32 exists only for the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${packages[@]}"
