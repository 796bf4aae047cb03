# Sourced by the test and run commands: a private Wine prefix, one persistent wineserver
# and an X server, all ended again by wine_env_stop (call it from an EXIT trap).
#   wine_env_start BUILD_DIR   exports WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, DISPLAY
#   wine_env_stop

_wine_env_xvfb_pid=""
_wine_env_started_server=""

wine_env_start() {
  local build_dir
  build_dir=$(cd "$1" && pwd)
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64

  if [ -z "${DISPLAY:-}" ]; then
    local fdfile
    fdfile=$(mktemp)
    # -displayfd picks a free display number and reports it once the server is ready.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fdfile" </dev/null >/dev/null 2>&1 &
    _wine_env_xvfb_pid=$!
    local i
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
  fi

  # A server that inherits our stdout would keep CI's pipe open: detach all its streams.
  wineserver -p </dev/null >/dev/null 2>&1
  _wine_env_started_server=1

  if [ ! -f "$WINEPREFIX/.movrek-ready" ]; then
    echo "wine-env: initialising the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot --init </dev/null >/dev/null 2>&1
    # Japanese UI fonts: without a replacement the labels draw as boxes.
    local f
    for f in "MS UI Gothic" "MS Gothic" "MS PGothic" "Meiryo" "Yu Gothic UI"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /t REG_SZ /d IPAGothic /f \
        </dev/null >/dev/null 2>&1
    done
    touch "$WINEPREFIX/.movrek-ready"
  fi
}

wine_env_stop() {
  if [ -n "$_wine_env_started_server" ] && [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
    _wine_env_started_server=""
  fi
  if [ -n "$_wine_env_xvfb_pid" ]; then
    kill "$_wine_env_xvfb_pid" 2>/dev/null || true
    wait "$_wine_env_xvfb_pid" 2>/dev/null || true
    _wine_env_xvfb_pid=""
  fi
}
