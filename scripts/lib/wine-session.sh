# Sourced by the scripts: a private X display and a persistent wineserver for one build tree.
# Usage: wine_session_start BUILD_DIR; ...; wine_session_stop (also installed as an EXIT trap).
# For ctest: wine_session_start_slots BUILD_DIR JOBS: a prefix and a persistent wineserver per
# parallel job, all on one display; wine_session_check_slots; wine_session_stop.
#
# 64-bit programs start through the 64-bit loader itself: with wine32 installed, /usr/bin/wine
# starts the 32-bit loader first, which costs over a minute a launch under qemu. A 32-bit
# program started from a 64-bit one gets the 32-bit loader from Wine by itself.
WINE64=/usr/lib/wine/wine64

wine64() { "$WINE64" "$@"; }

# Leftovers of a test that was killed at its time-out: small drives (tmpfs mounts linked into
# this prefix's dosdevices) that its destructor never removed.
wine_session_clean_leftovers() {
  local link target
  for link in "$WINEPREFIX"/dosdevices/[r-y]:; do
    [ -L "$link" ] || continue
    target=$(readlink "$link")
    case "$target" in
      /tmp/nicupdate-smalldrive.*)
        echo "wine: removing the leftover small drive ${link##*/} ($target)"
        rm -f "$link"
        if mountpoint -q "$target"; then umount -l "$target"; fi
        rmdir "$target" 2>/dev/null || echo "wine: cannot remove $target" >&2
        ;;
    esac
  done
}

# Starts Xvfb on a display number that the server picks itself (-displayfd), so two runs never
# share one, and waits until it accepts connections. Without a display MessageBoxW returns 0
# at once, and a test of a question would silently take the no-answer path: fail instead.
wine_session_start_display() {
  local fdfile n=""
  fdfile=$(mktemp /tmp/nicupdate-display.XXXXXX)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  WINE_SESSION_XVFB=$!
  local i
  for i in $(seq 1 100); do
    n=$(tr -dc '0-9' <"$fdfile")
    [ -n "$n" ] && break
    if ! kill -0 "$WINE_SESSION_XVFB" 2>/dev/null; then break; fi
    sleep 0.1
  done
  rm -f "$fdfile"
  if [ -z "$n" ] || ! kill -0 "$WINE_SESSION_XVFB" 2>/dev/null; then
    echo "wine: Xvfb did not start a display; message-box tests cannot run without one" >&2
    return 1
  fi
  export DISPLAY=":$n"
}

# The wineserver that serves this prefix, found by its working folder: a server works in a
# folder named after the prefix's device and inode, under a temporary folder of Wine's choice.
# Empty when none runs.
wine_session_server_pid() {
  local name pid
  name="server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
  for pid in $(pgrep '^wineserver' || true); do
    if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$name" ]; then echo "$pid"; return; fi
  done
}

# True when the server runs until it is told to stop: started with -p and no time-out. Debian's
# wrapper starts every server with -p0 first, so only the last -p option counts.
wine_session_server_persists() {
  local last=""
  while IFS= read -r -d '' arg; do
    case "$arg" in -p*) last="$arg" ;; esac
  done <"/proc/$1/cmdline"
  [ "$last" = -p ]
}

# Starts the persistent server before any other Wine command: a server that a Wine program
# starts by itself exits at the first pause between two programs, and every later launch then
# boots a new one and Wine's services (about 3 s each). A server of this prefix that does not
# persist (left by a program started outside a session) is stopped first.
wine_session_start_server() {
  local pid
  pid=$(wine_session_server_pid)
  if [ -n "$pid" ] && ! wine_session_server_persists "$pid"; then
    echo "wine: stopping a wineserver of this prefix that would exit at the first pause (pid $pid)"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  # Exit status 2: a server for this prefix runs already (another session of the tree, or one
  # that was told to stop and has not exited yet: then ask again once it is gone).
  local rc attempt
  for attempt in 1 2 3 4 5; do
    rc=0
    wineserver -p 2>/dev/null || rc=$?
    if [ "$rc" -ne 0 ] && [ "$rc" -ne 2 ]; then
      echo "wine: wineserver -p failed with $rc" >&2
      return 1
    fi
    WINE_SESSION_SERVER=$(wine_session_server_pid)
    if [ -n "$WINE_SESSION_SERVER" ] && wine_session_server_persists "$WINE_SESSION_SERVER"; then return 0; fi
    sleep 1
  done
  echo "wine: no persistent wineserver serves $WINEPREFIX after wineserver -p (last: ${WINE_SESSION_SERVER:-none})" >&2
  return 1
}

# Fails when the server that serves the prefix is no longer the one the session started.
wine_session_check_server() {
  local pid
  pid=$(wine_session_server_pid)
  if [ "$pid" != "$WINE_SESSION_SERVER" ]; then
    echo "wine: the session's wineserver (pid $WINE_SESSION_SERVER) no longer serves $WINEPREFIX (now: ${pid:-none})" >&2
    return 1
  fi
}

wine_session_start() {
  export WINEPREFIX="$1/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  trap wine_session_stop EXIT
  wine_session_start_display
  mkdir -p "$WINEPREFIX"
  wine_session_start_server
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: preparing the prefix in $WINEPREFIX (once; a few minutes with 32-bit support)"
    wine64 wineboot -i >/dev/null 2>&1
  fi
  wine_session_clean_leftovers
  # Without a window manager under Xvfb, Wine waits 2 s for one each time a managed window
  # hides, as every message box does when it closes; unmanaged windows close at once.
  wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # Start Wine's own services now, with no pipe of ours as their output: services started by a
  # test program would inherit its output pipe and keep the caller waiting for its end.
  wine64 cmd /c exit </dev/null >/dev/null 2>&1
  wine_session_check_server
}

wine_session_stop() {
  # Waits for each server to be gone, so that a session started next finds no server on its way out.
  local prefix
  for prefix in ${WINE_SESSION_SLOT_PREFIXES[@]+"${WINE_SESSION_SLOT_PREFIXES[@]}"} ${WINEPREFIX:-}; do
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
  done
  WINE_SESSION_SLOT_PREFIXES=()
  if [ -n "${WINE_SESSION_XVFB:-}" ]; then
    kill "$WINE_SESSION_XVFB" 2>/dev/null || true
    wait "$WINE_SESSION_XVFB" 2>/dev/null || true
    WINE_SESSION_XVFB=""
  fi
}

# --- One prefix and one wineserver per parallel ctest job ---------------------------------------
#
# ctest hands every test that runs Wine one slot of the resource "wine_slot" (slots.json below);
# the launcher (build/win32/wine-exec) runs the test in BUILD_DIR/wine-slots/<slot>, so two tests at
# work at the same time share no prefix, no server and no machine-wide state of Windows. Each
# slot's prefix is made once from the booted one: what Wine never changes during a run (its
# programs and libraries) is hard-linked, the rest (registry, users' folders, Windows' Logs,
# dosdevices) is copied.
WINE_SESSION_SLOT_PREFIXES=()
declare -A WINE_SESSION_SLOT_SERVERS=()

# The booted prefix's state that a slot was made from: a slot of another Wine is made again.
wine_session_boot_stamp() {
  printf 'layout 1; wine %s\n' "$(cat "$1/.update-timestamp" 2>/dev/null)"
}

# Boots the build tree's prefix when it has never been booted, with the settings every slot
# inherits; ends with no server of it left, so that its registry files are whole on disk.
wine_session_boot() {
  export WINEPREFIX="$1"
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ] || ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg"; then
    wine_session_start_server
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine: preparing the prefix in $WINEPREFIX (once; a few minutes with 32-bit support)"
      wine64 wineboot -i >/dev/null 2>&1
    fi
    # Without a window manager under Xvfb, Wine waits 2 s for one each time a managed window
    # hides, as every message box does when it closes; unmanaged windows close at once.
    wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  unset WINEPREFIX
}

# Wine's own programs and libraries (find -regex, whole path): the same in every prefix and never
# written by a run, so the slots share them by hard links.
WINE_SESSION_SHARED_FILES='\./drive_c/windows/(system32|syswow64)/.*|\./drive_c/(windows|Program Files[^/]*)/.*\.(dll|exe|drv|sys|acm|ocx|cpl|tlb|nls|ttf|fon)'

# Makes SLOT_DIR a prefix of its own from the booted one, unless it was made from this Wine's boot.
wine_session_prepare_slot() {
  local booted="$1" slot="$2" stamp
  stamp=$(wine_session_boot_stamp "$booted")
  if [ -f "$slot/system.reg" ] && [ "$(cat "$slot/.slot-made-from" 2>/dev/null)" = "$stamp" ]; then return 0; fi
  echo "wine: making the prefix $slot from $booted"
  rm -rf "$slot"
  # Every file hard-linked, folders and links (dosdevices' relative drive links) as they are;
  # then each file that a run may write replaced by a copy of its own.
  cp -al "$booted" "$slot"
  (cd "$booted" && find . -type f -regextype posix-extended ! -regex "$WINE_SESSION_SHARED_FILES" -print0) |
    while IFS= read -r -d '' file; do cp -p --remove-destination "$booted/$file" "$slot/$file"; done
  echo "$stamp" >"$slot/.slot-made-from"
}

# Starts the slots' servers and Wine's services in each; writes ctest's resource file, which the
# test preset reads: JOBS shares of the resource "cpu", and a Wine slot for each job and one more,
# for a test that waits and takes no share (ctest runs JOBS + 1 tests at a time). Leaves
# WINEPREFIX at the first slot, for the listing of tests at ctest's start.
wine_session_start_slots() {
  local build="$1" jobs="$2" booted="$1/wineprefix" slots="$1/wine-slots" n id prefix spec
  case "$jobs" in ''|*[!0-9]*|0) echo "wine: the number of jobs must be a positive number, not '$jobs'" >&2; return 1 ;; esac
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  trap wine_session_stop EXIT
  wine_session_start_display
  wine_session_boot "$booted"
  mkdir -p "$slots"
  spec='{ "version": { "major": 1, "minor": 0 }, "local": [ { "wine_slot": ['
  for n in $(seq 0 "$jobs"); do
    id="slot$n"
    prefix="$slots/$id"
    wine_session_prepare_slot "$booted" "$prefix"
    export WINEPREFIX="$prefix"
    WINE_SESSION_SLOT_PREFIXES+=("$prefix")
    wine_session_start_server
    WINE_SESSION_SLOT_SERVERS[$prefix]=$WINE_SESSION_SERVER
    wine_session_clean_leftovers
    # Start Wine's own services now, with no pipe of ours as their output: services started by a
    # test program would inherit its output pipe and keep the caller waiting for its end.
    wine64 cmd /c exit </dev/null >/dev/null 2>&1
    [ "$n" -eq 0 ] || spec+=','
    spec+=" { \"id\": \"$id\", \"slots\": 1 }"
  done
  echo "$spec ], \"cpu\": [ { \"id\": \"cores\", \"slots\": $jobs } ] } ] }" >"$slots/slots.json"
  export WINEPREFIX="${WINE_SESSION_SLOT_PREFIXES[0]}"
  wine_session_check_slots
}

# Fails when a slot's server is no longer the one the session started for it.
wine_session_check_slots() {
  local prefix rc=0
  for prefix in "${WINE_SESSION_SLOT_PREFIXES[@]}"; do
    WINEPREFIX=$prefix WINE_SESSION_SERVER=${WINE_SESSION_SLOT_SERVERS[$prefix]} wine_session_check_server || rc=1
  done
  return "$rc"
}
