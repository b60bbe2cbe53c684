# Sourced: which build the tests can run here. 32-bit Wine needs a kernel that
# runs 32-bit Linux programs; where it cannot, the x86_64 build of the same
# sources is run under 64-bit Wine instead.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  KESTRUNE_TEST_PRESET=win32
  KESTRUNE_ARCH_REASON="32-bit Wine runs on this kernel"
  export WINEARCH=win32
  KESTRUNE_WINE=/usr/lib/wine/wine
else
  KESTRUNE_TEST_PRESET=win64
  KESTRUNE_ARCH_REASON="this kernel cannot run 32-bit Linux programs, so 32-bit Wine cannot start"
  export WINEARCH=win64
  KESTRUNE_WINE=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
fi
export KESTRUNE_TEST_PRESET KESTRUNE_WINE
