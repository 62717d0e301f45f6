# A virtual X display and a Wine prefix for running the Windows program, shared (sourced) by
# scripts/run, scripts/screenshots and tests/gui/run. Stops only what it started: its own Xvfb by
# PID and the wineserver of the caller's own prefix.
#
#   display_start [SCREEN]   starts Xvfb on a free display (SCREEN: WxHxDEPTH, default
#                            1280x1024x24), exports DISPLAY; status 1 when none could start
#   wine_prepare             exports Wine's settings; creates $WINEPREFIX once, with a display
#                            present (a prefix first started without one cannot show windows),
#                            and gives it Wine's Marlett font
#   display_stop             stops the wineserver of $WINEPREFIX and the Xvfb started here
#
# Set WINEPREFIX before calling wine_prepare.

display_xvfb_pid=""

display_start() {
  local screen=${1:-1280x1024x24} first n tries
  # Five people share this machine: start at a random number and take the next free one. A
  # number seen free can be taken by someone else a moment later; then our Xvfb exits at once
  # (its lock file exists) and the next number is tried.
  first=$((90 + RANDOM % 100))
  for tries in $(seq 0 99); do
    n=$((first + tries))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
    display_xvfb_pid=$!
    for _ in $(seq 100); do
      kill -0 "$display_xvfb_pid" 2>/dev/null || break
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        # Answered: ours only if our Xvfb still runs (a lost race ends it).
        sleep 0.1
        if kill -0 "$display_xvfb_pid" 2>/dev/null; then
          export DISPLAY=":$n"
          return 0
        fi
        break
      fi
      sleep 0.1
    done
    kill "$display_xvfb_pid" 2>/dev/null || true
    wait "$display_xvfb_pid" 2>/dev/null || true
    display_xvfb_pid=""
  done
  return 1
}

wine_prepare() {
  export WINEDEBUG=-all LANG=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "preparing the Wine prefix $WINEPREFIX (once, about 15 s)"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
  fi
  # Wine draws caption buttons and menu marks with its Marlett font. Debian's Wine keeps it
  # (package fonts-wine) in its data folder, from where it is not loaded; in the prefix's own
  # Fonts folder it is. Without it the buttons show the letters "0 1 r".
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts=$WINEPREFIX/drive_c/windows/Fonts
  if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp "$marlett" "$fonts/" || true
  fi
}

display_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  if [ -n "$display_xvfb_pid" ]; then
    kill "$display_xvfb_pid" 2>/dev/null || true
    wait "$display_xvfb_pid" 2>/dev/null || true
    display_xvfb_pid=""
  fi
}
