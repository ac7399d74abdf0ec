# shellcheck shell=bash
# Sourced by the scripts that run the Windows programs under Wine: finds
# Wine (its 64-bit loader lives in Wine's library folder, not on the PATH)
# and starts a Wine session of its own: a fresh prefix on an Xvfb display.
# With "default", every program of the session lives in Wine's virtual
# desktop (a desktop window with a task bar and a notification area);
# without it, a program gets one by being started through
# "explorer /desktop=NAME,WxH program.exe". wine_desktop_end ends the session
# and the display and removes the prefix; the caller runs it on exit.
#
#   . scripts/lib/wine-desktop.sh
#   trap wine_desktop_end EXIT
#   wine_desktop_start 1024x768 [default]  # sets wine, wineserver, DISPLAY, WINEPREFIX
#
# Also the steps the scripts share around the demo data directory under
# Wine: xvfb_start, wine_demo_data and wine_hold (and wait_until and
# demo_files from demo-data.sh, sourced here).

# shellcheck source=scripts/lib/demo-data.sh
. "$(dirname "${BASH_SOURCE[0]}")/demo-data.sh"

wine=""
wineserver=""
wine_xvfb_pid=""
wine_prefix=""

wine_find() {
  local candidate
  for candidate in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
    "$(command -v wine64)" "$(command -v wine)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      wine=$candidate
      break
    fi
  done
  for candidate in "$(dirname "$wine")/wineserver" "$(command -v wineserver)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      wineserver=$candidate
      break
    fi
  done
  [ -n "$wine" ] && [ -n "$wineserver" ]
}

# xvfb_start <width>x<height>: a display of our own (Xvfb picks a free
# number); sets and exports DISPLAY and sets wine_xvfb_pid. The server is
# disowned, so a bare "wait" of the caller does not wait for it.
xvfb_start() {
  local display_file
  display_file=$(mktemp "${TMPDIR:-/tmp}/velmora-display-XXXXXX")
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  disown "$wine_xvfb_pid"
  # Xvfb writes its display number when it is ready.
  if ! wait_until 30 test -s "$display_file"; then
    echo "Xvfb did not start" >&2
    rm -f "$display_file"
    return 1
  fi
  DISPLAY=":$(head -n 1 "$display_file")"
  export DISPLAY
  rm -f "$display_file"
}

# wine_desktop_start <width>x<height> [default]
wine_desktop_start() {
  wine_find || {
    echo "Wine (wine64) is missing; run scripts/install-deps.sh" >&2
    return 1
  }
  xvfb_start "$1" || return 1
  wine_prefix=$(mktemp -d "${TMPDIR:-/tmp}/velmora-wine-XXXXXX")
  export WINEPREFIX=$wine_prefix WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
  "$wine" wineboot --init >/dev/null 2>&1 </dev/null
  "$wineserver" -w
  if [ "${2:-}" = default ]; then
    wine_default_desktop "$1"
  fi
}

# wine_default_desktop <width>x<height>: every program of the session from
# now on lives in Wine's virtual desktop.
wine_default_desktop() {
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$1" /f >/dev/null 2>&1
  "$wineserver" -w
}

wine_desktop_end() {
  [ -n "$wineserver" ] && [ -n "$wine_prefix" ] && "$wineserver" -k >/dev/null 2>&1
  if [ -n "$wine_xvfb_pid" ]; then kill "$wine_xvfb_pid" 2>/dev/null; fi
  if [ -n "$wine_prefix" ]; then rm -rf "$wine_prefix"; fi
  return 0
}

# A POSIX path as Wine names it (drive Z: is the root of the file system).
wine_path() {
  local path
  path=$(realpath "$1")
  echo "Z:${path//\//\\}"
}

# wine_demo_data <hostsim.exe> <folder>: the host's tables and printer
# folders (hostsim.exe make-demo) with the demo configuration and design.
wine_demo_data() {
  "$wine" "$1" make-demo "$(wine_path "$2")" >/dev/null </dev/null &&
    demo_files "$2"
}

# wine_hold <hostsim.exe> <folder> <printer> <log>: hostsim.exe holds the
# printer's folder like the host's spooler, in the background; returns once
# it says so (false if it does not within 60 s). Its process is
# wine_hold_pid.
# shellcheck disable=SC2034 # read by the caller
wine_hold_pid=""
wine_hold() {
  "$wine" "$1" hold "$(wine_path "$2")" "$3" >"$4" 2>&1 </dev/null &
  wine_hold_pid=$!
  wait_until 60 grep -qs "holding $3" "$4" # the log may not be there yet
}

# wine_ferrulin_loaded <ferrulin_remote.exe>: Ferrulin.exe's status log (read
# by ferrulin_remote.exe) says the configuration is loaded.
wine_ferrulin_loaded() {
  "$wine" "$1" status </dev/null 2>/dev/null | grep -q "Configuration loaded"
}

# wine_start_ferrulin <Ferrulin.exe> <ferrulin_remote.exe> <folder> <log>:
# Ferrulin.exe in the background with the data directory as its working
# directory, as its shortcut starts it; returns once it has loaded the
# configuration (false if not within 60 s). Its process is wine_ferrulin_pid.
# shellcheck disable=SC2034 # read by the caller
wine_ferrulin_pid=""
wine_start_ferrulin() {
  local program
  program=$(realpath "$1")
  (cd "$3" && exec "$wine" "$program") >"$4" 2>&1 </dev/null &
  wine_ferrulin_pid=$!
  wait_until 60 wine_ferrulin_loaded "$2"
}

# wine_ferrulin_demo <Windows build folder> <name> [Ferrulin.exe]: what the
# scripts that show Ferrulin.exe at work start with: Wine's virtual desktop,
# a demo data directory (wine_demo_dir, named after <name>) whose LABEL1 and
# LABEL2 hostsim.exe holds, and Ferrulin.exe (the build's, or the one given)
# serving it, loaded (wine_ferrulin_pid). The caller runs
# wine_ferrulin_demo_end on exit.
wine_demo_dir=""
wine_demo_pids=()
wine_ferrulin_demo() {
  local hostsim=$1/tools/hostsim/hostsim.exe printer
  wine_demo_dir=$(mktemp -d "${TMPDIR:-/tmp}/velmora-$2-XXXXXX")
  wine_desktop_start 1024x768 default || return 1
  wine_demo_data "$hostsim" "$wine_demo_dir" || return 1
  for printer in LABEL1 LABEL2; do
    wine_hold "$hostsim" "$wine_demo_dir" "$printer" "$wine_demo_dir/hold-$printer.log" || return 1
    wine_demo_pids+=("$wine_hold_pid")
  done
  wine_start_ferrulin "${3:-$1/src/spooler/win/Ferrulin.exe}" \
    "$1/tests/spooler/win/ferrulin_remote.exe" "$wine_demo_dir" /dev/null || return 1
  wine_demo_pids+=("$wine_ferrulin_pid")
}

wine_ferrulin_demo_end() {
  local pid
  for pid in "${wine_demo_pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  wine_desktop_end
  if [ -n "$wine_demo_dir" ]; then rm -rf "$wine_demo_dir"; fi
  return 0
}
