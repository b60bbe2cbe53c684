#!/usr/bin/env bash
# Builds the utility, its tests and helpers with warnings as errors, checks the
# product, its release package, its code and format, and runs every
# test under Wine in one Xvfb server and one throwaway WINEPREFIX under the
# build folder. Extra arguments go to ctest (for example -R WaitProcedure).
source "$(dirname "$0")/preamble.sh"

# The product is the 32-bit build; both builds must compile.
for preset in win32 win64; do
  kestrune_build "$preset"
done
scripts/check-product.sh build/win32/bin/Kestrune.exe
scripts/check-release.sh
scripts/check-code.sh

echo "test.sh: running the tests of the $KESTRUNE_TEST_PRESET build under Wine ($KESTRUNE_ARCH_REASON)," \
  "on $(nproc) cores, with Wine's heap checks" >&2
# Heap errors print a line that fails the test, led by the ids of the process
# and thread it came from; a WINEDEBUG of the caller's adds its channels.
export WINEDEBUG="-all,+pid,err+heap,warn+heap${WINEDEBUG:+,$WINEDEBUG}"
wine_session_start "$KESTRUNE_ROOT/build/$KESTRUNE_TEST_PRESET"
# The product and the test programs that run its code in-process; not the small
# helper programs, the installers or cmd.exe.
wine_session_check_heap Kestrune.exe $(cd "build/$KESTRUNE_TEST_PRESET/bin" && ls -- *_tests.exe)
ctest --test-dir "build/$KESTRUNE_TEST_PRESET" --output-on-failure \
  -j"$(nproc)" "$@"
