#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12, and does nothing
# when it is all there already. Safe to run as often as you like.
set -euo pipefail

# wine64 runs the x86_64 build where the kernel cannot run 32-bit programs.
packages=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth googletest nsis
  cppcheck clang-format locales python3)
# The double-byte tests run Wine under these; without the Unix locale, Wine
# cannot write a file name that holds a double-byte character.
locales=(ja_JP.UTF-8 zh_CN.UTF-8 zh_TW.UTF-8)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
# Two runs at once (the tests beside the mutants) take turns at the install.
apt=(apt-get -q -o DPkg::Lock::Timeout=600)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  # wine32 exists only for the i386 architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  # A mirror caught in the middle of a sync, or another run's update, fails
  # the update for a while: try again, then install from what was fetched,
  # which fails by itself if it falls short.
  for attempt in 1 2 3; do
    $SUDO "${apt[@]}" update && break
    echo "setup: apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" -eq 3 ] || sleep 30
  done
  if ! DEBIAN_FRONTEND=noninteractive $SUDO "${apt[@]}" install -y "${packages[@]}"; then
    # wine32:i386 needs i386 libraries of the same versions as the machine's
    # own, which a short index cannot give: the rest still builds everything,
    # and the tests then run the x86_64 build (scripts/arch.sh says why).
    echo "setup: installing without wine32:i386" >&2
    DEBIAN_FRONTEND=noninteractive $SUDO "${apt[@]}" install -y $(printf '%s\n' "${packages[@]}" | grep -vx 'wine32:i386')
  fi
fi

generate=()
for l in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || generate+=("$l")
done
if [ ${#generate[@]} -gt 0 ]; then
  echo "setup: generating the locales ${generate[*]}" >&2
  for l in "${generate[@]}"; do
    grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
