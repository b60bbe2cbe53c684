#!/usr/bin/env bash
# The main job under Wine: a demonstration window comes and goes, Kestrune.exe
# waits for it, broadcasts the end, runs the follow-up command and waits for it.
source "$(dirname "$0")/preamble.sh"
kestrune_build "$KESTRUNE_TEST_PRESET" kt_demo >/dev/null
wine_session_start "$KESTRUNE_ROOT/build/$KESTRUNE_TEST_PRESET"
"$KESTRUNE_WINE" "build/$KESTRUNE_TEST_PRESET/bin/kt_demo.exe"
