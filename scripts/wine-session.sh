# Sourced by the scripts that run Windows programs: one Xvfb server and one
# throwaway WINEPREFIX under the build folder, both ended on exit.
#   wine_session_start BUILD_DIR    exports DISPLAY, WINEPREFIX and friends
#   wine_session_check_heap EXE...  Wine's heap checks for the programs named
#   wine_session_stop               ends the prefix's wineserver and the X server

wine_session_start() {
  local build_dir=$1
  # Whatever fails from here on, nothing started here outlives the script.
  trap wine_session_stop EXIT
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEARCH=${WINEARCH:-win32}
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko: nothing here needs them, and looking for them is slow.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine would otherwise turn a Unix locale it lacks into a plain C locale.
  export LANG=${LANG:-C.UTF-8}

  # Every Wine process that waits on windows is a client of this server; at
  # the default 256 clients, hundreds of processes at once could not
  # connect ("Maximum number of clients reached") and failed to start.
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -maxclients 2048 3>"$fdfile" >/dev/null 2>&1 &
  _wine_session_xvfb=$!
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
  [ -s "$fdfile" ] || { echo "wine-session: Xvfb did not start" >&2; rm -f "$fdfile"; return 1; }
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-session: creating $WINEPREFIX (takes a few seconds, once)" >&2
    "$KESTRUNE_WINE" wineboot.exe -i >/dev/null 2>&1 </dev/null || true
    wineserver -w || true
  fi
  # A server that stays up, with Wine's own background services started here
  # (their output going nowhere), makes every later process start fast and
  # keeps those services off the pipes of the programs run later.
  wineserver -p
  "$KESTRUNE_WINE" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
}

# Wine's heap checks for the named programs: every heap call validates the
# whole heap, with tail, free and parameter checks; with WINEDEBUG showing
# err+heap and warn+heap, each fault prints a line on stderr.
wine_session_check_heap() {
  local exe key
  for exe in "$@"; do
    key="HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\$exe"
    "$KESTRUNE_WINE" reg add "$key" /v GlobalFlag /t REG_DWORD /d 0xf0 /f >/dev/null 2>&1 </dev/null
  done
}

wine_session_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "${_wine_session_xvfb:-}" ]; then
    kill "$_wine_session_xvfb" 2>/dev/null || true
    wait "$_wine_session_xvfb" 2>/dev/null || true
    _wine_session_xvfb=
  fi
}
