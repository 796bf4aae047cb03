# Sourced by the test and run commands: a private Wine prefix, one persistent wineserver
# and an X server with a window manager, all ended again by wine_env_stop (call it from an
# EXIT trap).
#   wine_env_start BUILD_DIR [private] [PREFIX]
#     exports WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, DISPLAY
#     private: always start an X server of our own (tests and benchmarks), even when DISPLAY
#     names one; otherwise the given display is used as it is (pass "" to say so and name a
#     PREFIX).
#     PREFIX: the prefix folder's name under BUILD_DIR, "wineprefix" unless given; tests that
#     run side by side each take one of their own.
#   wine_env_stop
# On an X server it starts itself it also starts openbox: every real desktop has a window
# manager, and without one Wine waits a fixed 2 s whenever it hides an activated window.

_wine_env_xvfb_pid=""
_wine_env_wm_pid=""
_wine_env_started_server=""
_wine_env_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The marker names the prefix's set-up; a prefix made by an older set-up is set up again.
WINE_ENV_MARKER=.movrek-ready-3

# Waits until a window manager has claimed the screen (it sets the root window's
# _NET_SUPPORTING_WM_CHECK), for at most 10 s.
_wine_env_wait_wm() {
  local i
  for i in $(seq 1 100); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then return 0; fi
    kill -0 "$_wine_env_wm_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Starts Xvfb on a free display and openbox on it; exports DISPLAY.
_wine_env_start_x() {
  local fdfile wmlog i
  unset DISPLAY
  fdfile=$(mktemp)
  # -displayfd picks a free display number and reports it once the server is ready.
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fdfile" </dev/null >/dev/null 2>&1 &
  _wine_env_xvfb_pid=$!
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    if ! kill -0 "$_wine_env_xvfb_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "wine-env: Xvfb did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  echo "wine-env: started Xvfb on $DISPLAY (pid $_wine_env_xvfb_pid)"
  wmlog=$(mktemp)
  openbox --config-file "$_wine_env_here/openbox-rc.xml" </dev/null >"$wmlog" 2>&1 &
  _wine_env_wm_pid=$!
  if ! _wine_env_wait_wm; then
    echo "wine-env: openbox did not start on $DISPLAY: $(tail -n 2 "$wmlog" | tr '\n' ' ')" >&2
    rm -f "$wmlog"
    return 1
  fi
  rm -f "$wmlog"
  echo "wine-env: started openbox (pid $_wine_env_wm_pid)"
}

_wine_env_stop_x() {
  if [ -n "$_wine_env_wm_pid" ]; then
    kill "$_wine_env_wm_pid" 2>/dev/null || true
    wait "$_wine_env_wm_pid" 2>/dev/null || true
    _wine_env_wm_pid=""
  fi
  if [ -n "$_wine_env_xvfb_pid" ]; then
    kill "$_wine_env_xvfb_pid" 2>/dev/null || true
    wait "$_wine_env_xvfb_pid" 2>/dev/null || true
    _wine_env_xvfb_pid=""
  fi
}

wine_env_start() {
  local build_dir
  build_dir=$(cd "$1" && pwd)
  if [ "${2:-}" = private ]; then unset DISPLAY; fi
  export WINEPREFIX="$build_dir/${3:-wineprefix}"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64

  if [ -z "${DISPLAY:-}" ]; then
    # Now and then a client cannot open a server that has only just reported itself ready
    # (seen when one bench follows another on the same display number): openbox then ends
    # at once, and the X server and openbox are started again, a few times.
    local attempt
    for attempt in 1 2 3 4; do
      if _wine_env_start_x; then break; fi
      _wine_env_stop_x
      [ "$attempt" -lt 4 ] || return 1
      sleep 1
    done
  fi

  # A server that inherits our stdout would keep CI's pipe open: detach all its streams.
  wineserver -p </dev/null >/dev/null 2>&1
  _wine_env_started_server=1

  if [ ! -f "$WINEPREFIX/$WINE_ENV_MARKER" ]; then
    echo "wine-env: initialising the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot --init </dev/null >/dev/null 2>&1
    # The fonts of a Japanese Windows: without a replacement the labels draw as boxes. The UI
    # fonts are proportional, so they get the proportional IPAPGothic; only "MS Gothic" is
    # monospaced like IPAGothic.
    local f
    for f in "MS UI Gothic" "MS PGothic" "Meiryo" "Meiryo UI" "Yu Gothic UI"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /t REG_SZ /d IPAPGothic /f \
        </dev/null >/dev/null 2>&1
    done
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "MS Gothic" /t REG_SZ /d IPAGothic /f \
      </dev/null >/dev/null 2>&1
    # Tahoma has no Japanese glyphs; Windows links it to a Japanese font.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v Tahoma /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f </dev/null >/dev/null 2>&1
    # Wine places, stacks and activates its windows itself, as Windows does, rather than
    # leaving that to the window manager: with a reparenting manager, Wine 8 sometimes takes
    # the frame's first position (0,0) as the window's, and keeps the keyboard on a window
    # other than the one it calls active.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1
    rm -f "$WINEPREFIX/.movrek-ready" "$WINEPREFIX/.movrek-ready-2"
    touch "$WINEPREFIX/$WINE_ENV_MARKER"
    # Setting up a new prefix can end the persistent server: make sure one runs.
    wineserver -p </dev/null >/dev/null 2>&1 || true
  fi
  return 0
}

wine_env_stop() {
  if [ -n "$_wine_env_started_server" ] && [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
    _wine_env_started_server=""
  fi
  _wine_env_stop_x
}
