# Sourced: which build the tests run. 32-bit Wine needs a kernel that runs
# 32-bit Linux programs; where it cannot, or where KESTRUNE_TEST_ARCH=win64
# asks for it, the x86_64 build of the same sources runs under 64-bit Wine.
if [ "${KESTRUNE_TEST_ARCH:-}" != win64 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  KESTRUNE_TEST_PRESET=win32
  KESTRUNE_ARCH_REASON="32-bit Wine runs on this kernel"
  export WINEARCH=win32
  KESTRUNE_WINE=/usr/lib/wine/wine
else
  KESTRUNE_TEST_PRESET=win64
  if [ "${KESTRUNE_TEST_ARCH:-}" = win64 ]; then
    KESTRUNE_ARCH_REASON="KESTRUNE_TEST_ARCH=win64 asks for it"
  else
    KESTRUNE_ARCH_REASON="32-bit Wine cannot start: this kernel cannot run 32-bit Linux programs, or wine32 is not installed"
  fi
  export WINEARCH=win64
  KESTRUNE_WINE=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
fi
export KESTRUNE_TEST_PRESET KESTRUNE_WINE
