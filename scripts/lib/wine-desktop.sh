# shellcheck shell=bash
# Sourced by the scripts that show the Windows programs under Wine: finds
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

# wine_desktop_start <width>x<height> [default]
wine_desktop_start() {
  wine_find || {
    echo "Wine (wine64) is missing; run scripts/install-deps.sh" >&2
    return 1
  }
  local display_file tries=300
  display_file=$(mktemp "${TMPDIR:-/tmp}/velmora-display-XXXXXX")
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  while [ ! -s "$display_file" ]; do
    ((tries-- > 0)) || {
      echo "Xvfb did not start" >&2
      return 1
    }
    sleep 0.1 # Xvfb writes its display number when it is ready
  done
  DISPLAY=":$(head -n 1 "$display_file")"
  rm -f "$display_file"
  wine_prefix=$(mktemp -d "${TMPDIR:-/tmp}/velmora-wine-XXXXXX")
  export DISPLAY WINEPREFIX=$wine_prefix WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
  "$wine" wineboot --init >/dev/null 2>&1 </dev/null
  "$wineserver" -w
  if [ "${2:-}" = default ]; then
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$1" /f >/dev/null 2>&1
    "$wineserver" -w
  fi
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
