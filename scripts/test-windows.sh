#!/usr/bin/env bash
# The Windows side of the tests: cross-builds the programs and the test
# programs for 64-bit Windows with MinGW-w64 in build-win (or $1) and runs the
# test programs under Wine, in a fresh Wine prefix in a temporary folder that
# is removed afterwards. The tests without windows, Dovetack's window at 144 dpi
# and Dovetack.exe end to end run on a virtual display (Xvfb) started here, as
# does FerrulinConsole.exe run as a Windows service by Wine's own service
# manager (services.exe, sc, net); the
# window tests (CTest label windows_desktop) and Ferrulin.exe end to end run
# afterwards in Wine's virtual desktop on an Xvfb display of their own.
#
# Then the two worlds on the same files: a byte-range lock taken by the Linux
# build is seen by the Windows build under Wine, and the other way round
# (needs the Linux test programs in build/, or $VELMORA_LINUX_BUILD; skipped
# with a note when they are not there).
#
# The build is packed (scripts/package-windows.sh: the zip and the NSIS
# installer), and, last, in the virtual desktop after the window tests, the
# installer is installed under Wine, the installed Ferrulin.exe is used, the
# install is repeated with the service, and the installer is uninstalled.
#
# Ends with "test-windows: PASS" and exit code 0, or "test-windows: FAIL"
# with what failed and exit code 1.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$PWD
build=${1:-build-win}
linux_build=${VELMORA_LINUX_BUILD:-build}
failures=()

fail() {
  failures+=("$1")
  echo "test-windows: FAILED: $1" >&2
}

finish() {
  if ((${#failures[@]})); then
    echo "test-windows: FAIL (${failures[*]})"
    exit 1
  fi
  echo "test-windows: PASS"
  exit 0
}

# wine_find, xvfb_start, wait_until and the demo data directory's steps.
. scripts/lib/wine-desktop.sh
if ! wine_find || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  fail "MinGW-w64 (g++-mingw-w64-x86-64-posix) or Wine (wine64) is missing; run scripts/install-deps.sh"
  finish
fi

echo "== Windows cross build in $build"
if ! cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake" \
  -DVELMORA_WERROR=ON -DVELMORA_GUI=OFF -DVELMORA_BENCH=OFF >/dev/null; then
  fail "configure"
  finish
fi
if ! cmake --build "$build"; then
  fail "build"
  finish
fi

echo "== Windows package: the zip and the installer"
start=$(date +%s)
if scripts/package-windows.sh "$build"; then
  echo "packed in $(($(date +%s) - start)) s"
else
  fail "package"
fi

echo "== Windows tests under Wine"
prefix=$(mktemp -d "${TMPDIR:-/tmp}/velmora-wine-XXXXXX")
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko installer prompts; no desktop menu entries for the
# shortcuts the installer test makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  if [ -n "$wine_xvfb_pid" ]; then kill "$wine_xvfb_pid" 2>/dev/null; fi
  rm -rf "$prefix"
}
trap cleanup EXIT

# The Win32 windows are made for real: Wine draws them on a virtual display.
if ! command -v Xvfb >/dev/null; then
  fail "Xvfb is missing; run scripts/install-deps.sh"
elif ! xvfb_start 1024x768; then
  fail "Xvfb did not start"
fi

start=$(date +%s)
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
echo "Wine prefix made in $(($(date +%s) - start)) s"

# CTest starts each .exe through Wine (the toolchain's emulator setting). The
# Wine server and Wine's own background programs (services.exe and friends)
# are started here, once, with their output going nowhere: started by the
# first test instead, they would keep that test's output pipe open and CTest
# would wait for it until the time-out.
"$wineserver" -p >/dev/null 2>&1
"$wine" wineboot >/dev/null 2>&1 </dev/null
# Known gaps of Wine 8 (real Windows does these), left out here:
# - a sub-tree change notification does not see sub-folders that existed
#   before it started (only those that appear later);
# - a last-access or last-write time set alone (SetFileTime) is not reported.
export GTEST_FILTER="-*.SubtreeSeesSubfoldersThatExistedBeforeTheStart:Watcher.FolderModeReportsALastAccessTimeSetAlone:ChangeNotificationTest.ALastWriteTimeSetAloneIsReported"
if ! ctest --test-dir "$build" --output-on-failure -j2 -LE windows_desktop; then
  fail "tests under Wine"
fi

echo "== Dovetack's window at 144 dpi"
# The sizes the window is laid out in are pixels at 96 dpi, scaled by the
# monitor's DPI: the frame test again with Wine's display at 150 %.
# (The Wine server runs on, so the next program reads the new value.)
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
output=$(VELMORA_EXPECT_DPI=144 "$wine" "$build/tests/config/dovetack_win_window_tests.exe" \
  --gtest_filter='*FramePagesAndTheGridAfterOpeningAConfiguration' 2>&1)
if grep -q 'OK \] DovetackWindowTest.FramePages' <<<"$output"; then
  echo "the window, its grid columns and its sizes scale to 144 dpi"
else
  echo "$output"
  fail "Dovetack's window at 144 dpi"
fi
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1

echo "== The system's ANSI code page under Wine: Russian locale, Windows-1251"
# Wine takes the code page from the locale; one is made for this run in a
# folder of its own (LOCPATH), so the machine needs no generated locales.
locales=$(mktemp -d "${TMPDIR:-/tmp}/velmora-locales-XXXXXX")
if localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8" >/dev/null 2>&1; then
  output=$(LOCPATH=$locales LC_ALL=ru_RU.UTF-8 VELMORA_EXPECT_CODEPAGE=1251 \
    "$wine" "$build/tests/platform/platform_tests.exe" --gtest_filter='CodePage*' 2>&1)
  if grep -q 'OK \] CodePage.Windows1251WhenTheRunUsesIt' <<<"$output" &&
    grep -q 'OK \] CodePage.FollowsTheCodePageOfTheRun' <<<"$output"; then
    echo "GetACP gives 1251 and the conversions follow it"
  else
    echo "$output"
    fail "code page tests under Windows-1251"
  fi
else
  echo "(skipped: localedef cannot make ru_RU.UTF-8 here)"
fi
rm -rf "$locales"

echo "== End to end under Wine: hostsim.exe and FerrulinConsole.exe"
# hostsim.exe makes a data directory and holds the destinations' locks like
# the host's spooler; FerrulinConsole.exe serves PREP1 (demo configuration:
# PREP1 -> LABEL1, backup LABEL2). A job is merged and delivered to LABEL1;
# when LABEL1's holder ends, the next job goes to LABEL2.
hostsim_exe=$build/tools/hostsim/hostsim.exe
console_exe=$build/src/spooler/console/FerrulinConsole.exe
data=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e-XXXXXX")
data_windows=$(wine_path "$data")
e2e_pids=()
declare -A holders # printer -> hostsim.exe process
has_line() { grep -q -- "$2" "$1" 2>/dev/null; }
delivered() { [ -f "$data/$2/$1" ] && [ ! -e "$data/PREP1/$1" ]; }
hold() { # <printer>: its holder's output goes to $logs, else into $data
  local held=0
  wine_hold "$hostsim_exe" "$data" "$1" "${logs:-$data}/hold-$1.log" || held=$?
  e2e_pids+=("$wine_hold_pid")
  holders[$1]=$wine_hold_pid
  ((held == 0)) || fail "hostsim.exe does not hold $1"
}
demo_data() { # the demo data directory in $data
  wine_demo_data "$hostsim_exe" "$data" || {
    fail "hostsim.exe make-demo"
    return 1
  }
}
# deliver_first_job <program>: a three-item job, written elsewhere and renamed
# into PREP1 as the host does, is delivered to LABEL1, merged as the Linux
# build's mergelabel merges it.
deliver_first_job() {
  mkdir "$data/stage"
  "$wine" "$hostsim_exe" drop "$data_windows" STAGE --items 3 >/dev/null
  cp "$data/stage/JOB0001.spl" "$data/job1.copy"
  mv "$data/stage/JOB0001.spl" "$data/PREP1/JOB0001.spl"
  if ! wait_until 30 delivered JOB0001.spl LABEL1; then
    fail "$1 did not deliver job 1 to LABEL1"
    return
  fi
  echo "$1 merged job 1 and delivered it to LABEL1"
  local merge=$linux_build/tools/mergelabel/mergelabel
  [ -x "$merge" ] || return 0
  if cmp -s <(tr -d '\r' <"$data/LABEL1/JOB0001.spl") \
    <("$merge" "$data/LabelDesign.txt" "$data/job1.copy"); then
    echo "the merged job is the one the Linux build's mergelabel makes"
  else
    fail "$1's merged job differs from the Linux build's merge"
  fi
}
e2e() {
  demo_data || return
  hold LABEL1
  hold LABEL2
  "$wine" "$console_exe" "$data_windows" >"$data/console.log" 2>&1 </dev/null &
  local console=$!
  e2e_pids+=("$console")
  if ! wait_until 30 has_line "$data/console.log" "Configuration loaded"; then
    fail "FerrulinConsole.exe did not load the configuration"
    return
  fi

  deliver_first_job FerrulinConsole.exe

  kill -INT "${holders[LABEL1]}" # Ctrl+C for the Windows program
  wait "${holders[LABEL1]}"
  wait_until 10 has_line "$data/hold-LABEL1.log" "released LABEL1" || fail "hostsim.exe kept LABEL1"
  "$wine" "$hostsim_exe" drop "$data_windows" PREP1 >/dev/null
  if wait_until 30 delivered JOB0001.spl LABEL2 &&
    has_line "$data/console.log" "Trying backup printer"; then
    echo "job 2 went to the backup LABEL2 after LABEL1's spooler went down"
  else
    fail "job 2 did not go to the backup LABEL2"
  fi

  kill -INT "$console"
  if wait "$console"; then
    [ "$("$wine" "$hostsim_exe" probe "$data_windows" PREP1 | tr -d '\r')" = down ] ||
      fail "FerrulinConsole.exe ended without giving up PREP1"
  else
    fail "FerrulinConsole.exe did not end cleanly on Ctrl+C"
  fi
}
if [ -x "$hostsim_exe" ] && [ -x "$console_exe" ]; then
  failures_before=${#failures[@]}
  e2e
  for pid in "${e2e_pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  wait 2>/dev/null
  if ((${#failures[@]} > failures_before)); then
    echo "--- FerrulinConsole.exe output:"
    cat "$data/console.log" 2>/dev/null
  fi
else
  fail "hostsim.exe or FerrulinConsole.exe was not built"
fi
rm -rf "$data"

echo "== End to end under Wine: FerrulinConsole.exe as a Windows service"
# Wine's own service manager (services.exe, sc, net) runs the spooler as the
# service VelmoraFerrulin for the demo data directory while hostsim.exe holds
# LABEL1 and LABEL2: installed (and started) by FerrulinConsole.exe
# --install-service, it claims PREP1 and delivers a job; "net stop" releases
# PREP1 by the time it returns, "net start" claims it again; installing it
# again is refused; --uninstall-service stops it and removes it, and sc no
# longer knows it. The switches' exit codes for a missing data directory and
# a service that is not installed are checked on the way.
service_name=VelmoraFerrulin
data=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e-XXXXXX")
data_windows=$(wine_path "$data")
e2e_pids=()
service_state() { "$wine" sc query "$service_name" </dev/null 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}'; }
prep1_is() { [ "$("$wine" "$hostsim_exe" probe "$data_windows" PREP1 </dev/null | tr -d '\r')" = "$1" ]; }
console_code() { # <arguments...>: FerrulinConsole.exe's exit code
  "$wine" "$console_exe" "$@" </dev/null >>"$data/service.log" 2>&1
  echo $?
}
service_e2e() {
  demo_data || return
  hold LABEL1
  hold LABEL2
  local code
  code=$(console_code --install-service "$data_windows\\Missing")
  ((code == 3)) || fail "--install-service for a missing data directory gave exit code $code"
  code=$(console_code --install-service "$data_windows")
  if ((code != 0)) || [ "$(service_state)" != RUNNING ]; then
    fail "--install-service gave exit code $code; the service is '$(service_state)'"
    return
  fi
  if ! wait_until 30 prep1_is up; then
    fail "the service did not claim PREP1"
    return
  fi
  echo "installed and started: sc query says RUNNING and PREP1 is claimed"
  deliver_first_job "the service"
  grep -qs 'PREP1\\JOB0001.spl' "$data"/VelmoraLogs/Ferrulin-*.log ||
    fail "the service's daily log does not name the job it took"

  local start took
  start=$(date +%s%N)
  "$wine" net stop "$service_name" </dev/null >>"$data/service.log" 2>&1 ||
    fail "net stop $service_name failed"
  took=$((($(date +%s%N) - start) / 1000000))
  # The spooler promises a second; Wine's net.exe starting and waiting for
  # the service manager comes on top, hence the generous bound.
  ((took <= 10000)) || fail "net stop took $took ms"
  if prep1_is down && [ "$(service_state)" = STOPPED ]; then
    echo "net stop returned in $took ms (Wine's net.exe started included): STOPPED, PREP1 released"
  else
    fail "net stop left PREP1 claimed or the service '$(service_state)'"
  fi
  "$wine" net start "$service_name" </dev/null >>"$data/service.log" 2>&1 ||
    fail "net start $service_name failed"
  wait_until 30 prep1_is up || fail "the service did not claim PREP1 again after net start"
  code=$(console_code --install-service "$data_windows")
  ((code == 6)) || fail "installing the service a second time gave exit code $code"

  code=$(console_code --uninstall-service)
  if ((code != 0)); then
    fail "--uninstall-service gave exit code $code"
  elif ! prep1_is down; then
    fail "--uninstall-service left PREP1 claimed"
  elif "$wine" sc query "$service_name" </dev/null >/dev/null 2>&1; then
    fail "sc query still finds the service after --uninstall-service"
  else
    echo "uninstalled: PREP1 released, and sc query no longer finds $service_name"
  fi
  code=$(console_code --uninstall-service)
  ((code == 7)) || fail "--uninstall-service without the service gave exit code $code"
}
if [ -x "$hostsim_exe" ] && [ -x "$console_exe" ]; then
  failures_before=${#failures[@]}
  service_e2e
  "$wine" "$console_exe" --uninstall-service </dev/null >/dev/null 2>&1 # after a failure
  for pid in "${e2e_pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  wait 2>/dev/null
  if ((${#failures[@]} > failures_before)); then
    echo "--- FerrulinConsole.exe's switches and net's output:"
    cat "$data/service.log" 2>/dev/null
    echo "--- the service's daily log:"
    cat "$data"/VelmoraLogs/Ferrulin-*.log 2>/dev/null
  fi
else
  fail "hostsim.exe or FerrulinConsole.exe was not built"
fi
rm -rf "$data"

echo "== End to end under Wine: Dovetack.exe's Save & Activate makes the spooler reload"
# FerrulinConsole.exe serves the demo data directory; Dovetack.exe, started
# there, is driven from outside (dovetack_driver.exe) to click "Save &
# Activate", and the spooler loads the configuration again by itself. Also
# measures Dovetack.exe's size and resident memory after start.
dovetack_exe=$build/src/config/win/Dovetack.exe
driver_exe=$build/tests/config/dovetack_driver.exe
data=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e-XXXXXX")
data_windows=$(wine_path "$data")
loads() { grep -c "Loading Configuration" "$data/console.log" 2>/dev/null; }
reloaded() { [ "$(loads)" -ge 2 ] && [ "$(grep -c "Configuration loaded" "$data/console.log")" -ge 2 ]; }
dovetack_e2e() {
  demo_data || return
  "$wine" "$console_exe" "$data_windows" >"$data/console.log" 2>&1 </dev/null &
  local console=$!
  if ! wait_until 30 has_line "$data/console.log" "Configuration loaded"; then
    fail "FerrulinConsole.exe did not load the configuration"
    kill -INT "$console"
    return
  fi
  local dovetack_path
  dovetack_path=$(realpath "$dovetack_exe")
  (cd "$data" && exec "$wine" "$dovetack_path" >"$data/dovetack.log" 2>&1 </dev/null) &
  local dovetack=$!
  if "$wine" "$driver_exe" wait; then
    local pid rss
    for pid in $(pgrep -f 'Dovetack\.exe'); do
      if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
        rss=$(awk '/^VmRSS/ {print $2 " " $3}' "/proc/$pid/status")
      fi
    done
    echo "Dovetack.exe: $(stat -c %s "$dovetack_exe") bytes, resident ${rss:-unknown} after start"
    [ "$(loads)" -eq 1 ] || fail "the spooler loaded the configuration again before Save & Activate"
    "$wine" "$driver_exe" save
    if wait_until 30 reloaded; then
      echo "Save & Activate in Dovetack.exe made FerrulinConsole.exe load the configuration again"
    else
      fail "the spooler did not reload after Dovetack.exe's Save & Activate"
    fi
    "$wine" "$driver_exe" close
    if wait "$dovetack"; then
      echo "Dovetack.exe ended with exit code 0 when its window was closed"
    else
      fail "Dovetack.exe did not end cleanly"
    fi
  else
    fail "Dovetack.exe showed no window"
    kill "$dovetack" 2>/dev/null
  fi
  kill -INT "$console"
  wait "$console" || fail "FerrulinConsole.exe did not end cleanly on Ctrl+C"
}
if [ -x "$hostsim_exe" ] && [ -x "$console_exe" ] && [ -x "$dovetack_exe" ] && [ -x "$driver_exe" ]; then
  failures_before=${#failures[@]}
  dovetack_e2e
  if ((${#failures[@]} > failures_before)); then
    echo "--- FerrulinConsole.exe output:"
    cat "$data/console.log" 2>/dev/null
  fi
else
  fail "Dovetack.exe, dovetack_driver.exe, hostsim.exe or FerrulinConsole.exe was not built"
fi
rm -rf "$data"

echo "== Locks across Linux and Windows on one file"
linux_tests=$linux_build/tests/platform/platform_tests
windows_tests=$build/tests/platform/platform_tests.exe
if [ ! -x "$linux_tests" ]; then
  echo "(skipped: no Linux build in $linux_build; build it first to check the locks across both)"
else
  shared=$(mktemp -d "${TMPDIR:-/tmp}/velmora-interop-XXXXXX")
  printf 'table' >"$shared/LOCKSPL.DBF"
  # The whole-file lock of an xBase table; each side runs its test program in
  # a helper mode on the same file (Wine names it through its Z: drive).
  range=(1000000001 1000000000)
  linux_side() { "$linux_tests" --velmora-helper "$1" "$shared/LOCKSPL.DBF" "${range[@]}"; }
  windows_side() {
    "$wine" "$windows_tests" --velmora-helper "$1" "$(wine_path "$shared")\\LOCKSPL.DBF" "${range[@]}"
  }
  cross_check() { # <holder side> <prober side>
    local answer probe holder
    coproc HOLDER { "$1" hold-lock; }
    holder=$HOLDER_PID
    read -r -t 60 answer <&"${HOLDER[0]}" || answer="(no answer)"
    answer=${answer%$'\r'}
    if [ "$answer" != "locked" ]; then
      fail "$1 could not take the lock ($answer)"
    else
      probe=$("$2" probe-lock | tr -d '\r')
      if [ "$probe" = "locked" ]; then
        echo "a lock of the $1 is seen by the $2"
      else
        fail "a lock of the $1 is not seen by the $2 ($probe)"
      fi
    fi
    echo >&"${HOLDER[1]}"
    wait "$holder" 2>/dev/null
    probe=$("$2" probe-lock | tr -d '\r')
    [ "$probe" = "free" ] || fail "the $2 still sees a lock after the $1 ended ($probe)"
  }
  cross_check linux_side windows_side
  cross_check windows_side linux_side

  # The same through the host's lock protocol: a printer folder held by one
  # world's hostsim is "up" for the other's probe, and "down" once let go.
  linux_hostsim=$linux_build/tools/hostsim/hostsim
  if [ -x "$linux_hostsim" ] && [ -x "$hostsim_exe" ]; then
    shared_windows=$(wine_path "$shared")
    linux_probe() { "$linux_hostsim" probe "$shared" LABEL1; }
    windows_probe() { "$wine" "$hostsim_exe" probe "$shared_windows" LABEL1 </dev/null | tr -d '\r'; }
    protocol_check() { # <holder name> <prober> <stop signal> <holder command...>
      local name=$1 prober=$2 stop=$3 answer holder
      shift 3
      coproc HOSTSIM { exec "$@"; }
      holder=$HOSTSIM_PID
      read -r -t 60 answer <&"${HOSTSIM[0]}" || answer="(no answer)"
      answer=${answer%$'\r'}
      if [ "$answer" = "holding LABEL1" ] && [ "$("$prober")" = up ]; then
        echo "LABEL1 held by the $name hostsim is up for the other's probe"
      else
        fail "LABEL1 held by the $name hostsim is not up for the other's probe ($answer)"
      fi
      kill "-$stop" "$holder"
      wait "$holder" 2>/dev/null
      [ "$("$prober")" = down ] || fail "LABEL1 is still up after the $name hostsim let go"
    }
    protocol_check Linux windows_probe TERM "$linux_hostsim" hold "$shared" LABEL1
    protocol_check Windows linux_probe INT "$wine" "$hostsim_exe" hold "$shared_windows" LABEL1
  fi
  rm -rf "$shared"
fi

echo "== The Windows desktop under Wine: window tests and Ferrulin.exe end to end"
# A display of our own (Xvfb picks a free number) and, in the Wine prefix,
# Wine's virtual desktop: a desktop window with a task bar and a
# notification area, inside which every window of the session lives. (Bare
# X windows without a window manager would cost each hidden window a 2 s
# wait.) The Wine session so far had no display: it ends first.
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w
if [ -n "$wine_xvfb_pid" ]; then kill "$wine_xvfb_pid" 2>/dev/null; fi
if ! xvfb_start 1024x768; then
  fail "Xvfb did not start"
  finish
fi
wine_default_desktop 1024x768
"$wineserver" -p >/dev/null 2>&1
"$wine" wineboot >/dev/null 2>&1 </dev/null

if ! ctest --test-dir "$build" --output-on-failure -L windows_desktop; then
  fail "window tests under Wine"
fi

# Ferrulin.exe serves the demo data directory while hostsim.exe holds LABEL1
# and LABEL2: a dropped job is delivered to LABEL1 as the Linux build merges
# it, a job the host's own writer holds half-written is left alone until the
# writer closes it and then delivered once, and "Exit Ferrulin" ends the
# program with PREP1 released.
ferrulin_exe=$build/src/spooler/win/Ferrulin.exe
remote_exe=$build/tests/spooler/win/ferrulin_remote.exe
data=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e-XXXXXX")
data_windows=$(wine_path "$data")
logs=$data
e2e_pids=()
probe_up() { [ "$("$wine" "$hostsim_exe" probe "$data_windows" PREP1 </dev/null | tr -d '\r')" = up ]; }
ferrulin_list() { "$wine" "$remote_exe" "$1" </dev/null | tr -d '\r'; } # status | jobs
# deliver_job_written_slowly: the host's own writer (hostsim.exe
# write-slowly) creates a three-item job in PREP1, writes half of it and holds
# it open sharing reading only. While it is held, Ferrulin.exe leaves it: the
# job stays in PREP1, nothing of it reaches LABEL1 or LABEL2, it is not listed
# as taken, nothing is held back, and the status log says once that it is
# still being written. Once the writer closes it, it is delivered once: one
# merged file in LABEL1, the whole job's merge, one line in the print-jobs
# list.
deliver_job_written_slowly() {
  local job=SLOW0001.spl answer writer said
  local waits="# Job PREP1\\$job is still being written: it is taken once its writer is done"
  local failures_before=${#failures[@]}
  mkdir -p "$data/stage"
  "$wine" "$hostsim_exe" drop "$data_windows" stage --items 3 --name "$job" >/dev/null </dev/null
  coproc WRITER { exec "$wine" "$hostsim_exe" write-slowly "$data_windows" PREP1 \
    "$data_windows\\stage\\$job"; }
  writer=$WRITER_PID
  e2e_pids+=("$writer")
  read -r -t 60 answer <&"${WRITER[0]}" || answer="(no answer)"
  answer=${answer%$'\r'}
  if [[ $answer != "holding PREP1\\$job:"* ]]; then
    fail "hostsim.exe write-slowly did not hold the job ($answer)"
    return
  fi
  labels_of_job() { find "$data/LABEL1" "$data/LABEL2" -name "${job%.spl}*" | grep -q .; }
  held_job() { find "$data/VelmoraHeldJobs" -name "${job%.spl}*" 2>/dev/null | grep -q .; }
  sleep 6 # the spooler looks at a job its writer holds again every second
  if [ ! -f "$data/PREP1/$job" ] || labels_of_job || held_job; then
    fail "Ferrulin.exe took the job its writer held half-written: $(ls "$data"/PREP1 "$data"/LABEL1)"
  fi
  ferrulin_list jobs | grep -qF "$job" &&
    fail "Ferrulin.exe listed the job its writer held half-written as taken"
  said=$(ferrulin_list status | grep -cF "$waits")
  ((said == 1)) || fail "Ferrulin.exe said $said times that the job is still being written"
  echo >&"${WRITER[1]}" # the writer writes the rest and closes the job
  read -r -t 60 answer <&"${WRITER[0]}" || answer="(no answer)"
  wait "$writer"
  if [ "${answer%$'\r'}" != "finished PREP1\\$job" ]; then
    fail "hostsim.exe write-slowly did not finish the job ($answer)"
    return
  fi
  if ! wait_until 30 delivered "$job" LABEL1; then
    fail "Ferrulin.exe did not deliver the job once its writer had closed it"
    return
  fi
  if [ "$(find "$data/LABEL1" "$data/LABEL2" -name "${job%.spl}*" | wc -l)" -ne 1 ] || held_job; then
    fail "the job written slowly was delivered more than once or held back"
  fi
  local merge=$linux_build/tools/mergelabel/mergelabel
  if [ -x "$merge" ] && ! cmp -s <(tr -d '\r' <"$data/LABEL1/$job") \
    <("$merge" "$data/LabelDesign.txt" "$data/stage/$job"); then
    fail "the job written slowly was not merged whole, as the Linux build's mergelabel merges it"
  fi
  if [ "$(ferrulin_list jobs | grep -cxF "PREP1\\$job")" -ne 1 ] ||
    ferrulin_list jobs | grep -F "$job" | grep -qvxF "PREP1\\$job"; then
    fail "the print-jobs list does not name the job once as taken"
  fi
  if ((${#failures[@]} == failures_before)); then
    echo "Ferrulin.exe left a job its writer held half-written alone (said once, not listed)" \
      "and delivered it whole, once, when the writer closed it"
  fi
}
window_e2e() {
  demo_data || return
  hold LABEL1
  hold LABEL2
  # RM's data directory is the working directory.
  local loaded=0
  wine_start_ferrulin "$ferrulin_exe" "$remote_exe" "$data" "$data/ferrulin.log" || loaded=$?
  local ferrulin=$wine_ferrulin_pid
  e2e_pids+=("$ferrulin")
  if ((loaded != 0)) || ! probe_up; then
    fail "Ferrulin.exe did not load the configuration and claim PREP1"
    return
  fi
  deliver_first_job Ferrulin.exe
  deliver_job_written_slowly
  "$wine" "$remote_exe" exit >/dev/null </dev/null
  if wait "$ferrulin"; then
    if probe_up; then
      fail "Ferrulin.exe ended without giving up PREP1"
    else
      echo "\"Exit Ferrulin\" ended Ferrulin.exe and PREP1 is released"
    fi
  else
    fail "Ferrulin.exe did not end cleanly after \"Exit Ferrulin\""
  fi
}
if [ -x "$ferrulin_exe" ] && [ -x "$remote_exe" ] && [ -x "$hostsim_exe" ]; then
  window_e2e
  for pid in "${e2e_pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  wait "${e2e_pids[@]}" 2>/dev/null # not Xvfb, which stays to the end
else
  fail "Ferrulin.exe, ferrulin_remote.exe or hostsim.exe was not built"
fi
rm -rf "$data"

echo "== The installer under Wine: install, a job through the installed Ferrulin.exe, uninstall"
# The installer from the package step is installed silently for a demo data
# directory whose name has a space, as "C:\RM Data" would. Checked: the
# installed files are the packed ones, the Start-menu and Startup shortcuts
# start the programs from the program folder in the data directory, and the
# installed Ferrulin.exe, started as its shortcut says on the virtual
# desktop, delivers a job from PREP1 to LABEL1 and ends on "Exit Ferrulin"
# with PREP1 released. After the silent uninstall the program folder, the
# shortcuts and the Add/Remove Programs entry are gone, and the data
# directory is as it was before the install but for the delivered job.
installer_test() {
  local version name stage setup install_windows install install_parent menu startup_folder uninstall_key
  version=$(sed -n 's/^version=//p' "$build/windows-package.txt")
  name=VelmoraLabels-$version-win64
  stage=$build/package/$name
  setup=$build/package/$name-setup.exe
  if [ ! -f "$setup" ]; then
    fail "no installer $setup"
    return
  fi
  data="$work/RM Data"
  data_windows=$(wine_path "$data")
  logs=$work
  # A program folder inside a folder the install makes too, which the
  # uninstall removes as well.
  install_windows='C:\Program Files\Velmora\Labels'
  install_parent=$WINEPREFIX/drive_c/Program\ Files/Velmora
  install=$install_parent/Labels
  menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs
  startup_folder=$menu/StartUp
  menu=$menu/Velmora\ Labels
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoraLabels'

  # A data directory in use: RM's tables, its printers' folders, each with
  # the lock table a host spooler made, the demo configuration and design.
  mkdir "$data"
  demo_data || return
  hold LABEL1
  hold LABEL2
  cp "$data/LABEL1/LOCKSPL.DBF" "$data/PREP1/"
  cp "$data/LABEL1/LOCKSPL.DBF" "$data/PREP2/"
  # Every entry's kind and name, every file's checksum; not the delivered job
  # nor the spooler's daily log, which the running Ferrulin.exe adds and the
  # uninstaller keeps as the store's record.
  snapshot() {
    (cd "$data" && find . \( -path ./LABEL1/JOB0001.spl -o -path ./VelmoraLogs \) -prune -o -printf '%y %p\n' | sort &&
      find . \( -path ./LABEL1/JOB0001.spl -o -path ./VelmoraLogs \) -prune -o -type f -print0 | sort -z | xargs -0 md5sum)
  }
  snapshot >"$work/before"

  # A silent install takes /D only last and unquoted, and the data directory
  # quoted: the command line goes through a batch file, as Wine would quote
  # the arguments of its own command line differently.
  silent_install() { # <data directory option>: the installer's exit code
    printf '@"%s" /S %s /D=%s\r\n@exit /b %%errorlevel%%\r\n' \
      "$(wine_path "$setup")" "$1" "$install_windows" >"$work/install.bat"
    "$wine" cmd /c "$(wine_path "$work")\\install.bat" </dev/null >>"$work/setup.log" 2>&1
  }
  # /DATADIR that installs nothing: each option and its exit code (3 the
  # folder does not exist, 4 the option is wrong or missing), in both
  # quotings: the value quoted, and the whole argument quoted as deployment
  # tools quote one.
  local option expected code
  while IFS='|' read -r option expected; do
    silent_install "$option"
    code=$?
    if [ "$code" -ne "$expected" ] || [ -e "$install_parent" ]; then
      fail "a silent install with $option gave exit code $code, not $expected"
    fi
  done <<EOF_OPTIONS
/DATADIR="$data_windows\\Missing"|3
"/DATADIR=$data_windows\\Missing"|3
|4
/DATADIR=|4
/DATADIR="RM Data"|4
"/DATADIR=$data_windows|4
EOF_OPTIONS
  if ! silent_install "\"/DATADIR=$data_windows\""; then
    fail "the silent install failed"
    cat "$work/setup.log"
    return
  fi
  files() { find "$1" -mindepth 1 -printf '%P\n' | sort; }
  # No copy of the uninstaller (NSIS names it Au_.exe, in the temporary
  # folder) runs in this Wine prefix.
  no_uninstaller_copy() {
    local pid
    for pid in $(pgrep -f 'u_\.exe'); do
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 1
    done
    return 0
  }
  if diff <({ files "$stage"; echo Uninstall.exe; } | sort) <(files "$install") >/dev/null &&
    (cd "$stage" && for f in *; do cmp -s "$f" "$install/$f" || exit 1; done); then
    echo "installed: $(files "$install" | tr '\n' ' ')"
  else
    fail "the program folder does not hold the packed files and Uninstall.exe"
  fi
  if ! diff <({ echo "$name/"; files "$stage" | sed "s|^|$name/|"; } | sort) \
    <(cmake -E tar tf "$build/package/$name.zip" | sort) >/dev/null; then
    fail "the zip does not hold the packed files"
  fi
  "$wine" reg query "$uninstall_key" /v DisplayName 2>/dev/null | grep -q "Velmora Labels" ||
    fail "no Add/Remove Programs entry"

  shortcut_is() { # <.lnk> <target> <arguments> <working directory>
    local expected actual
    expected=$(printf 'target=%s\narguments=%s\nworkdir=%s' "$2" "$3" "$4")
    if ! actual=$(scripts/read-lnk.py "$1"); then
      fail "no shortcut ${1#"$WINEPREFIX"/}"
    elif [ "${actual,,}" != "${expected,,}" ]; then
      fail "shortcut ${1#"$WINEPREFIX"/}: $actual"
    fi
  }
  shortcut_is "$menu/Ferrulin.lnk" "$install_windows\\Ferrulin.exe" "" "$data_windows"
  shortcut_is "$startup_folder/Ferrulin.lnk" "$install_windows\\Ferrulin.exe" /MINIMIZED "$data_windows"
  echo "shortcuts: Ferrulin in the data directory, and at log-in with /MINIMIZED"
  if [ -f "$stage/Dovetack.exe" ]; then
    shortcut_is "$menu/Dovetack.lnk" "$install_windows\\Dovetack.exe" "" "$data_windows"
  fi
  # Installed again, as an upgrade would be: without /DATADIR it keeps the
  # data directory of the first install; /NOSTARTUP takes the Startup
  # shortcut away.
  if ! silent_install /NOSTARTUP; then
    fail "the second install failed"
  elif [ -e "$startup_folder/Ferrulin.lnk" ]; then
    fail "the second install with /NOSTARTUP left the Startup shortcut"
  else
    shortcut_is "$menu/Ferrulin.lnk" "$install_windows\\Ferrulin.exe" "" "$data_windows"
    echo "installed again: the same data directory, and no Startup shortcut with /NOSTARTUP"
  fi

  # Ferrulin starts as its Start-menu shortcut says: the shortcut's target in
  # the shortcut's working directory.
  local link target run_in
  link=$(scripts/read-lnk.py "$menu/Ferrulin.lnk") || return
  target=$(sed -n 's/^target=//p' <<<"$link")
  run_in=$("$wine" winepath -u "$(sed -n 's/^workdir=//p' <<<"$link")" 2>/dev/null)
  (cd "$run_in" && exec "$wine" "$target") >"$work/ferrulin.log" 2>&1 </dev/null &
  local ferrulin=$!
  e2e_pids+=("$ferrulin")
  if ! wait_until 60 wine_ferrulin_loaded "$remote_exe" || ! probe_up; then
    fail "the installed Ferrulin.exe did not load the configuration and claim PREP1"
    return
  fi
  mkdir -p "$work/stage/STAGE"
  "$wine" "$hostsim_exe" drop "$(wine_path "$work")\\stage" STAGE >/dev/null
  mv "$work/stage/STAGE/JOB0001.spl" "$data/PREP1/JOB0001.spl"
  if wait_until 30 delivered JOB0001.spl LABEL1; then
    echo "the installed Ferrulin.exe delivered a job to LABEL1"
  else
    fail "the installed Ferrulin.exe did not deliver the job"
  fi
  # A program file in use cannot be replaced: an install meanwhile fails
  # instead of skipping it.
  silent_install "/DATADIR=\"$data_windows\""
  code=$?
  if [ "$code" -ne 2 ]; then
    fail "an install while Ferrulin.exe runs gave exit code $code"
  fi
  # Nor is the program removed under a running Ferrulin.exe: a silent
  # uninstall refuses. Run in place (_?=, the form that waits and reports),
  # it exits with 2; run plainly it hands over to a copy of itself, which
  # refuses the same way. Either way everything stays and Ferrulin.exe
  # still serves PREP1.
  local uninstaller="$install_windows\\Uninstall.exe"
  printf '@"%s" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$uninstaller" "$install_windows" \
    >"$work/uninstall.bat"
  "$wine" cmd /c "$(wine_path "$work")\\uninstall.bat" </dev/null >>"$work/uninstall.log" 2>&1
  code=$?
  [ "$code" -eq 2 ] || fail "an uninstall in place while Ferrulin.exe runs gave exit code $code"
  "$wine" "$uninstaller" /S </dev/null >>"$work/uninstall.log" 2>&1
  wait_until 60 no_uninstaller_copy || fail "the uninstaller's copy did not end"
  if [ "$(files "$install")" = "$({ files "$stage"; echo Uninstall.exe; } | sort)" ] &&
    [ -e "$menu/Ferrulin.lnk" ] &&
    "$wine" reg query "$uninstall_key" >/dev/null 2>&1 && probe_up; then
    echo "uninstall refused while Ferrulin.exe runs (exit code 2 in place); it still serves PREP1"
  else
    fail "an uninstall while Ferrulin.exe runs removed something or ended it"
  fi
  "$wine" "$remote_exe" exit >/dev/null </dev/null
  if ! wait "$ferrulin"; then
    fail "the installed Ferrulin.exe did not end cleanly after \"Exit Ferrulin\""
  elif probe_up; then
    fail "the installed Ferrulin.exe ended without giving up PREP1"
  else
    echo "\"Exit Ferrulin\" ended the installed Ferrulin.exe and PREP1 is released"
  fi
  # Installed again with /SERVICE (the data directory kept): the service
  # runs from the program folder and claims PREP1, with no Startup shortcut
  # beside it; the uninstall below stops it and removes it.
  if ! silent_install /SERVICE; then
    fail "the install with /SERVICE failed"
  elif [ "$("$wine" sc query VelmoraFerrulin </dev/null 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $4}')" != RUNNING ]; then
    fail "the install with /SERVICE left no running service VelmoraFerrulin"
  elif ! wait_until 30 probe_up; then
    fail "the service the installer started did not claim PREP1"
  elif [ -e "$startup_folder/Ferrulin.lnk" ]; then
    fail "the install with /SERVICE made the Startup shortcut too"
  else
    echo "installed with /SERVICE: the service runs and claims PREP1, and no Startup shortcut"
  fi
  for printer in LABEL1 LABEL2; do
    kill -INT "${holders[$printer]}"
    wait "${holders[$printer]}"
  done

  # The uninstaller copies itself away and ends at once; the copy removes
  # the program folder last.
  "$wine" "$install_windows\\Uninstall.exe" /S </dev/null >"$work/uninstall.log" 2>&1
  if wait_until 30 test ! -e "$install"; then
    echo "uninstalled: the program folder is gone"
  else
    fail "the program folder is still there after the uninstall: $(ls "$install")"
  fi
  [ -e "$install_parent" ] && fail "the folder the install made above the program folder is left"
  if [ -e "$menu" ] || [ -e "$startup_folder/Ferrulin.lnk" ]; then
    fail "shortcuts are left after the uninstall"
  fi
  ! "$wine" reg query "$uninstall_key" >/dev/null 2>&1 || fail "the Add/Remove Programs entry is left"
  if "$wine" sc query VelmoraFerrulin </dev/null >/dev/null 2>&1; then
    fail "the service is left after the uninstall"
  elif probe_up; then
    fail "PREP1 is still claimed after the uninstall"
  else
    echo "the uninstall stopped and removed the service: PREP1 released"
  fi

  if ! compgen -G "$data/VelmoraLogs/Ferrulin-*.log" >/dev/null; then
    fail "the spooler's daily log is not in the data directory after the uninstall"
  elif [ -f "$data/LABEL1/JOB0001.spl" ] && diff "$work/before" <(snapshot) >"$work/changes"; then
    echo "the data directory is as before, with the delivered job and the spooler's log"
  else
    fail "the data directory changed: $(cat "$work/changes")"
  fi
}
if [ -x "$remote_exe" ] && [ -x "$hostsim_exe" ]; then
  start=$(date +%s)
  e2e_pids=()
  work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-install-XXXXXX")
  installer_test
  for pid in "${e2e_pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  if ((${#e2e_pids[@]})); then wait "${e2e_pids[@]}" 2>/dev/null; fi # only this part's programs, not Xvfb
  rm -rf "$work"
  unset logs
  echo "installer test: $(($(date +%s) - start)) s"
else
  fail "ferrulin_remote.exe or hostsim.exe was not built: no installer test"
fi

finish
