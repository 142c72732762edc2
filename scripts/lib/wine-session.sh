# Sourced by the scripts: a private X display and a persistent wineserver for one build tree.
# Usage: wine_session_start BUILD_DIR; ...; wine_session_stop (also installed as an EXIT trap).

wine_session_start() {
  export WINEPREFIX="$1/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  WINE_SESSION_XVFB=$!
  export DISPLAY=":$n"
  trap wine_session_stop EXIT
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: preparing the prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  wineserver -p || true
  # Start Wine's own services now, with no pipe of ours as their output: services started by a
  # test program would inherit its output pipe and keep the caller waiting for its end.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_SESSION_XVFB:-}" ]; then
    kill "$WINE_SESSION_XVFB" 2>/dev/null || true
    wait "$WINE_SESSION_XVFB" 2>/dev/null || true
    WINE_SESSION_XVFB=""
  fi
}
