# Sourced by the harness scripts. Needs VELKO_HARNESS_DIR (a folder inside the build tree).
# Sets up, on first use and under a lock, the private Wine prefix, a private Xvfb display
# and one persistent wineserver for the run.

# Wine refuses a relative prefix, and the display number is taken from the path: one harness
# folder must always be named the same way.
case $VELKO_HARNESS_DIR in
  /*) ;;
  *) VELKO_HARNESS_DIR=$(realpath -ms -- "$VELKO_HARNESS_DIR") ;;
esac
export VELKO_HARNESS_DIR

VELKO_WINE=${VELKO_WINE:-/usr/lib/wine/wine64}
VELKO_WINESERVER=${VELKO_WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX="$VELKO_HARNESS_DIR/wine-prefix"
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
export WINESERVER="$VELKO_WINESERVER"
# Wine gives every process a split administrator's token (elevated, with a linked one) and reads
# every file's owner back as that same user, so the product's own folders would never count as
# its own: test builds then take the token as unlinked, and folders are told apart by their DACL.
export VELKO_TEST_UNLINKED_TOKEN=1

velko_harness_display() {
  # One display number per harness folder, so two checkouts never share one.
  local sum
  sum=$(printf '%s' "$VELKO_HARNESS_DIR" | cksum | cut -d' ' -f1)
  echo $(( 100 + sum % 800 ))
}

velko_start_xvfb() {
  local n=$1
  if [ -e "/tmp/.X11-unix/X$n" ] && [ -f "$VELKO_HARNESS_DIR/xvfb.pid" ] \
     && kill -0 "$(cat "$VELKO_HARNESS_DIR/xvfb.pid")" 2>/dev/null; then
    return 0
  fi
  rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
  setsid Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -ac >"$VELKO_HARNESS_DIR/xvfb.log" 2>&1 < /dev/null &
  echo $! > "$VELKO_HARNESS_DIR/xvfb.pid"
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.05
  done
  echo "wine-env: Xvfb :$n did not start" >&2
  return 1
}

velko_make_prefix() {
  local log="$VELKO_HARNESS_DIR/prefix.log"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$VELKO_WINE" wineboot -i >"$log" 2>&1
  "$VELKO_WINESERVER" -w
  "$VELKO_WINE" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >>"$log" 2>&1
  "$VELKO_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft YaHei UI' \
      /t REG_SZ /d 'WenQuanYi Micro Hei' /f >>"$log" 2>&1
  "$VELKO_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1
  "$VELKO_WINESERVER" -w
  # The new prefix links the user folders to $HOME; make them real folders of the prefix.
  local user_dir
  for user_dir in "$WINEPREFIX"/drive_c/users/*/; do
    local f
    for f in "$user_dir"*; do
      if [ -L "$f" ]; then
        rm -f "$f"
        mkdir -p "$f"
      fi
    done
  done
  touch "$WINEPREFIX/.velko-ready"
}

velko_harness_up() {
  mkdir -p "$VELKO_HARNESS_DIR"
  local n
  if [ -n "${VELKO_SHOW_ON_DISPLAY:-}" ]; then
    # The demo shows the program on the user's own display; no Xvfb then.
    export DISPLAY="$VELKO_SHOW_ON_DISPLAY"
    n=""
  else
    n=$(velko_harness_display)
    export DISPLAY=":$n"
  fi
  # Everything started under the lock gets fd 9 closed (9>&-): a long-lived child that kept
  # it open would hold the lock for ever and block every later caller.
  (
    flock 9
    if [ -n "$n" ]; then velko_start_xvfb "$n" 9>&-; fi
    if [ ! -f "$WINEPREFIX/.velko-ready" ]; then
      velko_make_prefix 9>&-
    fi
    # A persistent server keeps every later wine start fast. It exits with 2 when a server
    # already runs for the prefix; any other failure means Wine cannot run at all.
    local status=0
    "$VELKO_WINESERVER" -p >"$VELKO_HARNESS_DIR/wineserver.log" 2>&1 9>&- || status=$?
    if [ "$status" -eq 2 ]; then
      return 0  # a server already runs, with its helper processes
    elif [ "$status" -ne 0 ]; then
      echo "wine-env: wineserver did not start for $WINEPREFIX:" >&2
      cat "$VELKO_HARNESS_DIR/wineserver.log" >&2
      return 1
    fi
    # Start Wine's own background processes (services, explorer) now, with harmless output
    # files; started later they would inherit a caller's pipe and keep it open for ever.
    "$VELKO_WINE" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  ) 9>"$VELKO_HARNESS_DIR/.lock"
}

# Whether this harness's display (unless the program is shown on the user's own) and wineserver
# run; starts nothing.
velko_harness_running() {
  if [ -z "${VELKO_SHOW_ON_DISPLAY:-}" ]; then
    [ -f "$VELKO_HARNESS_DIR/xvfb.pid" ] && kill -0 "$(cat "$VELKO_HARNESS_DIR/xvfb.pid")" 2>/dev/null || return 1
  fi
  # Signal 0 to the server that holds the prefix's lock: no server, no owner.
  "$VELKO_WINESERVER" -k0 >/dev/null 2>&1
}

velko_harness_down() {
  "$VELKO_WINESERVER" -k >/dev/null 2>&1 || true
  if [ -f "$VELKO_HARNESS_DIR/xvfb.pid" ]; then
    kill "$(cat "$VELKO_HARNESS_DIR/xvfb.pid")" 2>/dev/null || true
    rm -f "$VELKO_HARNESS_DIR/xvfb.pid"
  fi
}
