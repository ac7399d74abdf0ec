#!/usr/bin/env bash
# The spooler under hostile and unlucky conditions, end to end: FerrulinConsole
# serves a data directory made by hostsim while this script plays other users,
# odd file names and device names, links, FIFOs, huge jobs, both destinations
# down, a full disk, kill -9, storms of configuration saves, hand-written
# configuration rows, a design that is missing, a job that cannot be removed
# and a second spooler on the same data directory.
#
#   tests/hostile_tour.sh build/src/spooler/console/FerrulinConsole build/tools/hostsim/hostsim
#
# Prints one line per case, "what was done — what happened — PASS" (or FAIL),
# and exits non-zero when any case failed. Cases that need root (another user,
# a small tmpfs, an undeletable job) say SKIP without it. Every wait is
# bounded; the whole tour takes a minute or two. VELMORA_TOUR_KEEP=1 keeps its
# folder for a look.
set -u

console=$(realpath "${1:?FerrulinConsole path}")
hostsim=$(realpath "${2:?hostsim path}")
# shellcheck source=scripts/lib/demo-data.sh
. "$(dirname "$0")/../scripts/lib/demo-data.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-tour.XXXXXX")
chmod 755 "$work"
data="$work/data"
failures=0
pids=()
mounted=()
immutable=()

cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  wait 2>/dev/null
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null; done
  for f in "${immutable[@]}"; do chattr -i "$f" 2>/dev/null; done
  if [ -n "${VELMORA_TOUR_KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

report() { # what-was-done what-happened PASS|FAIL|SKIP
  printf '%s — %s — %s\n' "$1" "$2" "$3"
  [ "$3" = FAIL ] && failures=$((failures + 1))
  return 0
}

log_has() { grep -qF -- "$1" "$work/spooler.out"; }
log_count() { grep -cF -- "$1" "$work/spooler.out"; }

# A job of one block whose first line names it.
job_text() {
  printf '%s\r\n' "$1"
  for ((l = 1; l < 100; l++)); do
    case $l in
      20) printf '1 Burger\r\n' ;;
      21) printf 'no onions\r\n' ;;
      *) printf 'line %d\r\n' "$l" ;;
    esac
  done
}

# Drops a job the way the host does: written whole, then renamed into place.
drop() { # folder name [reference]
  job_text "${3:-$2}" >"$data/$1/.drop.tmp"
  mv "$data/$1/.drop.tmp" "$data/$1/$2"
}

start_holder() { # printer
  "$hostsim" hold "$data" "$1" >"$work/hold-$1.out" 2>&1 &
  pids+=($!)
  wait_until 10 grep -q "holding $1" "$work/hold-$1.out"
}

start_spooler() { # [command prefix...]
  : >"$work/spooler.out"
  "$@" "$console" "$data" >>"$work/spooler.out" 2>"$work/spooler.err" &
  spooler=$!
  pids+=("$spooler")
  wait_until 15 log_has "Configuration loaded"
}

stop_spooler() {
  kill -TERM "$spooler" 2>/dev/null
  wait "$spooler" 2>/dev/null
}

# Saves the configuration the way the configuration program does: written whole
# beside it, then renamed over it. Each argument is one row,
# "Source|Dest|Backup|Design", its text as written into the file.
save_config() {
  {
    sed '/<rs:data>/q' "$velmora_demo_files/VelmoraLabelConfig.XML"
    local row source dest backup design
    for row in "$@"; do
      IFS='|' read -r source dest backup design <<<"$row"
      printf "    <z:row Source='%s' Dest='%s' Backup='%s' Design='%s' LabelsText='Labels'" \
        "$source" "$dest" "$backup" "$design"
      printf " MapText='Map:' TimeText='Time:' TotalText='Total' />\n"
    done
    printf '  </rs:data>\n</xml>'
  } >"$data/.config.tmp"
  mv "$data/.config.tmp" "$data/VelmoraLabelConfig.XML"
}
demo_rows=("PREP1|LABEL1|LABEL2|LabelDesign.txt" "PREP2|LABEL2|LABEL1|LabelDesign.txt")

# Saves the configuration and waits until the spooler has loaded it.
reload_config() { # row...
  local loads
  loads=$(log_count "Configuration loaded")
  save_config "$@"
  wait_until 10 loaded_more_than "$loads"
}
loaded_more_than() { [ "$(log_count "Configuration loaded")" -gt "$1" ]; }

# Whether the job SOURCE\NAME was delivered exactly once: its merged job stands
# in LABEL1 or LABEL2 under its own name, under no other name made free for it
# ("NAMEN2.spl": its letters and digits, "N" and a number) and not twice, it
# left its folder, it is not held, and the logs given list it as taken once.
# Names are unique across the source folders.
delivered_once() { # source name log...
  local source=$1 name=$2 copies=0 dest stem=${2%.*}
  stem=${stem//[^A-Za-z0-9]/}
  shift 2
  for dest in LABEL1 LABEL2; do
    [ -s "$data/$dest/$name" ] && copies=$((copies + 1))
    compgen -G "$data/$dest/${stem}N[0-9]*.spl" >/dev/null && copies=$((copies + 2))
  done
  [ "$copies" -eq 1 ] && [ ! -e "$data/$source/$name" ] &&
    [ ! -e "$data/VelmoraHeldJobs/$source/$name" ] &&
    [ "$(cat "$@" | grep -cxF "Print job: $source\\$name")" -eq 1 ]
}

# Whether every job "SOURCE/NAME" given after "--" was delivered exactly once.
all_delivered_once() { # log... -- source/name...
  local logs=() job
  while [ "$1" != -- ]; do logs+=("$1"); shift; done
  shift
  for job in "$@"; do delivered_once "${job%%/*}" "${job#*/}" "${logs[@]}" || return 1; done
}

demo_data "$hostsim" "$data" || { echo "hostsim make-demo failed"; exit 1; }
start_holder LABEL1 && start_holder LABEL2 || { echo "hostsim hold failed"; exit 1; }
drop PREP2 waiting.spl # waits from before the start
start_spooler || { echo "FerrulinConsole did not start"; cat "$work/spooler.err"; exit 1; }

# --- the road of an ordinary job --------------------------------------------
drop PREP1 A123.spl
if wait_until 10 test -s "$data/LABEL1/A123.spl" -a ! -e "$data/PREP1/A123.spl"; then
  report "dropped an ordinary job into PREP1" "merged job in LABEL1, source gone" PASS
else
  report "dropped an ordinary job into PREP1" "not delivered" FAIL
fi

# --- a job waiting from before the start ------------------------------------
if wait_until 10 test -s "$data/LABEL2/waiting.spl" -a ! -e "$data/PREP2/waiting.spl"; then
  report "left a job in PREP2 before the start" "taken at once, without a further change" PASS
else
  report "left a job in PREP2 before the start" "still waiting" FAIL
fi

# --- the host's own writer, half-way -----------------------------------------
# hostsim holds the job open for writing with half of it written: the spooler
# leaves it alone (not listed, nothing delivered, said once). Once closed, it is
# delivered once, merged as the same job dropped whole is.
job_text "written slowly" >"$work/slow.spl"
coproc WRITER { exec "$hostsim" write-slowly "$data" PREP1 "$work/slow.spl"; }
writer=$WRITER_PID
pids+=("$writer")
read -r -t 10 answer <&"${WRITER[0]}" || answer=""
sleep 4
waits='# Job PREP1\slow.spl is still being written: it is taken once its writer is done'
[[ $answer == 'holding PREP1\slow.spl:'* ]] && [ -e "$data/PREP1/slow.spl" ] &&
  [ ! -e "$data/LABEL1/slow.spl" ] && [ ! -e "$data/LABEL2/slow.spl" ] &&
  [ ! -e "$data/VelmoraHeldJobs/PREP1/slow.spl" ] && [ "$(log_count "$waits")" -eq 1 ] &&
  ! log_has 'Print job: PREP1\slow.spl'
left_alone=$?
echo >&"${WRITER[1]}"
wait "$writer"
drop PREP1 slow-whole.spl "written slowly"
if ((left_alone == 0)) && wait_until 10 test -s "$data/LABEL1/slow-whole.spl" -a ! -e "$data/PREP1/slow.spl" &&
  cmp -s "$data/LABEL1/slow.spl" "$data/LABEL1/slow-whole.spl" && ! log_has 'slow.spl -- ERROR' &&
  [ "$(log_count 'Print job: PREP1\slow.spl')" -eq 1 ]; then
  report "hostsim write-slowly held a job half-written in PREP1 for 4 s, then closed it" \
    "left alone while held (said once, never listed), then delivered once, merged whole" PASS
else
  report "hostsim write-slowly held a job half-written in PREP1 for 4 s, then closed it" \
    "taken while held, or not delivered once and whole" FAIL
fi

# --- entries that are not jobs ----------------------------------------------
printf 'delivered, not yet printed\r\n' >"$data/LABEL2/JOB0001.spl"
job_text "escapes" >"$data/PREP1/..\\LABEL2\\JOB0001.spl"
echo "outside the data directory" >"$work/outside.spl"
job_text "escapes further" >"$data/PREP1/..\\..\\outside.spl"
ln -s /etc/passwd "$data/PREP1/link.spl"
mkfifo "$data/PREP1/fifo.spl"
mkdir "$data/PREP1/x.spl"
drop PREP1 "O'Brien café.spl"
drop PREP1 after-odd-entries.spl
if wait_until 10 test -s "$data/LABEL1/after-odd-entries.spl" -a -s "$data/LABEL1/O'Brien café.spl"; then
  report "put a FIFO, a link, a folder \"x.spl\" and backslash names before two jobs" \
    "both jobs delivered, the spooler not blocked" PASS
else
  report "put a FIFO, a link, a folder \"x.spl\" and backslash names before two jobs" \
    "jobs behind them not delivered" FAIL
fi
if [ "$(cat "$data/LABEL2/JOB0001.spl")" = "$(printf 'delivered, not yet printed\r')" ] &&
  [ "$(cat "$work/outside.spl")" = "outside the data directory" ] &&
  [ -e "$data/PREP1/..\\LABEL2\\JOB0001.spl" ] && [ -e "$data/PREP1/..\\..\\outside.spl" ]; then
  report "named jobs \"..\\LABEL2\\JOB0001.spl\" and \"..\\..\\outside.spl\"" \
    "nothing outside PREP1 read, written or deleted" PASS
else
  report "named jobs \"..\\LABEL2\\JOB0001.spl\" and \"..\\..\\outside.spl\"" \
    "a file outside the source folder was touched" FAIL
fi
if [ ! -e "$data/LABEL1/link.spl" ] && [ ! -e "$data/LABEL1/x.spl" ] && [ ! -e "$data/LABEL1/fifo.spl" ] &&
  [ -L "$data/PREP1/link.spl" ] && [ -p "$data/PREP1/fifo.spl" ] && [ -d "$data/PREP1/x.spl" ]; then
  report "left the link, FIFO and folder in PREP1" "none delivered, none removed" PASS
else
  report "left the link, FIFO and folder in PREP1" "one was delivered or removed" FAIL
fi
drop PREP1 once-more.spl
wait_until 10 test -s "$data/LABEL1/once-more.spl"
passed=$(grep -c '# Passed over' "$work/spooler.out")
if [ "$passed" -eq 5 ]; then
  report "listed the folder again with the odd entries still there" \
    "each odd entry named once in the status log (5 lines)" PASS
else
  report "listed the folder again with the odd entries still there" \
    "$passed \"Passed over\" lines for 5 entries" FAIL
fi

# --- size -------------------------------------------------------------------
truncate -s 65M "$data/PREP1/.huge.tmp" && mv "$data/PREP1/.huge.tmp" "$data/PREP1/huge.spl"
drop PREP1 after-huge.spl
held="$data/VelmoraHeldJobs/PREP1"
if wait_until 10 test -s "$data/LABEL1/after-huge.spl" && wait_until 5 log_has 'is larger than 64 MB' &&
  wait_until 5 test -e "$held/huge.spl" &&
  [ "$(stat -c %s "$held/huge.spl")" -eq $((65 * 1024 * 1024)) ] && [ ! -e "$data/LABEL1/huge.spl" ]; then
  report "dropped a 65 MB job" "refused with a status line, kept in VelmoraHeldJobs, the next job delivered" PASS
else
  report "dropped a 65 MB job" "not refused, or it held up the next job" FAIL
fi
{
  for ((l = 0; l < 160000; l++)); do printf 'line %d\r\n' "$l"; done
} >"$data/PREP1/.long.tmp"
started=$(date +%s%N)
mv "$data/PREP1/.long.tmp" "$data/PREP1/long.spl"
if wait_until 30 test -e "$data/LABEL1/long.spl" -a ! -e "$data/PREP1/long.spl"; then
  took=$(( ($(date +%s%N) - started) / 1000000 ))
  report "dropped a 160,000-line job without empty lines" "delivered in ${took} ms" PASS
else
  report "dropped a 160,000-line job without empty lines" "not delivered within 30 s" FAIL
fi

# --- stale temporaries ------------------------------------------------------
( exit 0 ) & dead=$!; wait "$dead"
stale=".velmora-$dead-0.tmp"
echo "half a job" >"$data/LABEL1/$stale"
touch -d '10 minutes ago' "$data/LABEL1/$stale"
drop PREP1 after-stale.spl
if wait_until 10 test -s "$data/LABEL1/after-stale.spl" && [ ! -e "$data/LABEL1/$stale" ]; then
  report "left a temporary of a dead spooler in LABEL1, 10 minutes old" "removed at the next delivery" PASS
else
  report "left a temporary of a dead spooler in LABEL1, 10 minutes old" "still there" FAIL
fi

# --- both destinations down: the job is held, and sent back ------------------
"$hostsim" raise-error "$data" LABEL1 >/dev/null
"$hostsim" raise-error "$data" LABEL2 >/dev/null
drop PREP1 held.spl
if wait_until 10 test -e "$data/VelmoraHeldJobs/PREP1/held.spl" && [ ! -e "$data/PREP1/held.spl" ] &&
  log_has '# Failed to print...'; then
  report "dropped a job while both destinations report an error" "held in VelmoraHeldJobs\\PREP1" PASS
else
  report "dropped a job while both destinations report an error" "not held" FAIL
fi
"$hostsim" clear-error "$data" LABEL1 >/dev/null
"$hostsim" clear-error "$data" LABEL2 >/dev/null
"$console" --send-held-jobs-back "$data" >"$work/sendback.out" 2>&1
if wait_until 10 test -s "$data/LABEL1/held.spl" -a ! -e "$data/VelmoraHeldJobs/PREP1/held.spl"; then
  report "sent held jobs back (FerrulinConsole --send-held-jobs-back)" "delivered to LABEL1" PASS
else
  report "sent held jobs back (FerrulinConsole --send-held-jobs-back)" "not delivered" FAIL
fi

# --- kill -9 during a burst -------------------------------------------------
for ((n = 0; n < 30; n++)); do drop PREP1 "burst$n.spl"; done
wait_until 10 test -e "$data/LABEL1/burst3.spl"
kill -9 "$spooler"; wait "$spooler" 2>/dev/null
lost=0; broken=0
for ((n = 0; n < 30; n++)); do
  if [ -e "$data/LABEL1/burst$n.spl" ]; then
    [ -s "$data/LABEL1/burst$n.spl" ] || broken=$((broken + 1))
  elif [ ! -e "$data/PREP1/burst$n.spl" ]; then
    lost=$((lost + 1))
  fi
done
if [ "$lost" -eq 0 ] && [ "$broken" -eq 0 ]; then
  report "killed the spooler (kill -9) during a burst of 30 jobs" "no job lost, none half-written" PASS
else
  report "killed the spooler (kill -9) during a burst of 30 jobs" "$lost lost, $broken empty" FAIL
fi
start_spooler
drop PREP1 after-kill.spl
all_delivered() {
  for ((n = 0; n < 30; n++)); do [ -e "$data/LABEL1/burst$n.spl" ] || return 1; done
  [ -e "$data/LABEL1/after-kill.spl" ]
}
if wait_until 30 all_delivered; then
  report "started the spooler again and dropped a job" "every job of the burst delivered" PASS
else
  report "started the spooler again and dropped a job" "jobs of the burst left behind" FAIL
fi

# --- configuration saves while jobs wait ------------------------------------
# The spooler is stopped (SIGSTOP) while jobs are dropped and the configuration
# is saved: when it goes on, the save releases and claims every folder again
# with the jobs waiting in them, and nothing changes in the folders after.
saved_jobs=()
kill -STOP "$spooler"
for ((n = 0; n < 10; n++)); do
  drop PREP1 "saved1x$n.spl"
  drop PREP2 "saved2x$n.spl"
  saved_jobs+=("PREP1/saved1x$n.spl" "PREP2/saved2x$n.spl")
done
save_config "${demo_rows[@]}"
kill -CONT "$spooler"
if wait_until 15 all_delivered_once "$work/spooler.out" -- "${saved_jobs[@]}"; then
  report "saved the configuration while 20 jobs waited in PREP1 and PREP2" \
    "every job delivered once, without a further change of the folders" PASS
else
  report "saved the configuration while 20 jobs waited in PREP1 and PREP2" \
    "jobs left waiting, or delivered twice" FAIL
fi

# A storm of saves (10 a second for 3 s), a job dropped into each source folder
# with each save: every folder is released and claimed again 30 times while
# its jobs come in.
storm_jobs=()
for ((n = 0; n < 30; n++)); do
  save_config "${demo_rows[@]}"
  drop PREP1 "storm1x$n.spl"
  drop PREP2 "storm2x$n.spl"
  storm_jobs+=("PREP1/storm1x$n.spl" "PREP2/storm2x$n.spl")
  sleep 0.1
done
if wait_until 20 all_delivered_once "$work/spooler.out" -- "${storm_jobs[@]}"; then
  report "saved the configuration 30 times in 3 s while 60 jobs came in" \
    "every job delivered once, none left in PREP1 or PREP2" PASS
else
  report "saved the configuration 30 times in 3 s while 60 jobs came in" \
    "jobs left waiting, held or delivered twice" FAIL
fi

# --- a failover onto a name that waits in the backup -------------------------
drop PREP1 twin.spl "twin of PREP1"
wait_until 10 test -s "$data/LABEL1/twin.spl"
"$hostsim" raise-error "$data" LABEL2 >/dev/null
drop PREP2 twin.spl "twin of PREP2"
renamed='# Job PREP2\twin.spl is delivered to LABEL1 as twinN2.spl: a job named twin.spl waits there'
if wait_until 10 test -s "$data/LABEL1/twinN2.spl" && grep -q "twin of PREP1" "$data/LABEL1/twin.spl" &&
  grep -q "twin of PREP2" "$data/LABEL1/twinN2.spl" && wait_until 5 log_has "$renamed" &&
  [ ! -e "$data/PREP2/twin.spl" ] && [ ! -e "$data/LABEL2/twin.spl" ]; then
  report "PREP2's twin.spl failed over to LABEL1, where PREP1's twin.spl waited unprinted" \
    "both stand (twin.spl, twinN2.spl), neither replaced, the status line names twinN2.spl" PASS
else
  report "PREP2's twin.spl failed over to LABEL1, where PREP1's twin.spl waited unprinted" \
    "a job replaced, lost, or the new name not said" FAIL
fi
"$hostsim" clear-error "$data" LABEL2 >/dev/null

# --- names Windows would open as devices, or cannot name ---------------------
device_names=(aux.spl NUL.spl COM1.spl 'a?b.spl' 'x:y.spl' 'p|q.spl')
for name in "${device_names[@]}"; do drop PREP1 "$name"; done
drop PREP1 after-devices.spl
wait_until 10 test -s "$data/LABEL1/after-devices.spl"
drop PREP1 after-devices2.spl # lists the folder again
wait_until 10 test -s "$data/LABEL1/after-devices2.spl"
untouched=0
for name in "${device_names[@]}"; do
  [ -s "$data/PREP1/$name" ] && [ ! -e "$data/LABEL1/$name" ] && [ ! -e "$data/LABEL2/$name" ] &&
    [ ! -e "$data/VelmoraHeldJobs/PREP1/$name" ] &&
    [ "$(log_count "# Passed over \"$name\" in PREP1")" -eq 1 ] && untouched=$((untouched + 1))
done
if [ "$untouched" -eq "${#device_names[@]}" ] &&
  all_delivered_once "$work/spooler.out" -- PREP1/after-devices.spl PREP1/after-devices2.spl; then
  report "dropped aux.spl, NUL.spl, COM1.spl, \"a?b.spl\", \"x:y.spl\", \"p|q.spl\" before two jobs" \
    "each named once and left alone, the jobs behind them delivered" PASS
else
  report "dropped aux.spl, NUL.spl, COM1.spl, \"a?b.spl\", \"x:y.spl\", \"p|q.spl\" before two jobs" \
    "$untouched of ${#device_names[@]} named once and left alone, or the next jobs held up" FAIL
fi

# --- a job that cannot be removed once delivered ------------------------------
# Made immutable (chattr +i) while the spooler is stopped, so that it is
# delivered before anything tries to remove it; where the file system refuses
# that, PREP1 is bind-mounted read-only over itself.
stuck_how=""
tried=()
if [ "$(id -u)" -eq 0 ]; then
  kill -STOP "$spooler"
  drop PREP1 stuck.spl
  if chattr +i "$data/PREP1/stuck.spl" 2>/dev/null; then
    stuck_how="chattr +i"
    immutable+=("$data/PREP1/stuck.spl")
  else
    tried+=("chattr +i refused")
    if mount --bind "$data/PREP1" "$data/PREP1" 2>/dev/null; then
      mounted+=("$data/PREP1")
      if mount -o remount,ro,bind "$data/PREP1" 2>/dev/null; then
        stuck_how="a read-only bind mount of PREP1"
      else
        tried+=("read-only remount refused")
        umount "$data/PREP1"
      fi
    else
      tried+=("bind mount refused")
    fi
  fi
  kill -CONT "$spooler"
else
  tried+=("needs root for chattr +i or a bind mount")
fi
if [ -n "$stuck_how" ]; then
  stuck_copies() { compgen -G "$data/LABEL[12]/stuck*.spl" | wc -l; }
  wait_until 10 log_has '# Job PREP1\stuck.spl cannot be kept in VelmoraHeldJobs'
  # Listed again at the next change of PREP1 (none can be made in a read-only
  # PREP1: the spooler's own look at it again then).
  if [ "$stuck_how" = "chattr +i" ]; then
    stuck_then="dropped another job into PREP1"
    drop PREP1 after-stuck.spl
    wait_until 10 test -s "$data/LABEL1/after-stuck.spl"
  else
    stuck_then="waited 2 s"
    sleep 2
  fi
  if [ -e "$data/PREP1/stuck.spl" ] && [ -s "$data/LABEL1/stuck.spl" ] && [ "$(stuck_copies)" -eq 1 ] &&
    [ "$(log_count 'Print job: PREP1\stuck.spl')" -eq 1 ] &&
    log_has '# Job PREP1\stuck.spl is printed but cannot be removed from PREP1'; then
    report "made a delivered job undeletable ($stuck_how), then $stuck_then" \
      "delivered once, left in PREP1 with a status line, passed over since" PASS
  else
    report "made a delivered job undeletable ($stuck_how), then $stuck_then" \
      "$(stuck_copies) deliveries, or no status line" FAIL
  fi
  # A save claims PREP1 anew and lists it again: the job is still the one
  # printed.
  reload_config "${demo_rows[@]}"
  drop PREP2 after-stuck-save.spl
  wait_until 10 test -s "$data/LABEL2/after-stuck-save.spl"
  if [ "$(stuck_copies)" -eq 1 ] && [ "$(log_count 'Print job: PREP1\stuck.spl')" -eq 1 ]; then
    report "saved the configuration with the undeletable job still in PREP1" "not delivered again" PASS
  else
    report "saved the configuration with the undeletable job still in PREP1" \
      "delivered again: $(stuck_copies) deliveries" FAIL
  fi
  # Gone before any later start of the spooler, which could not know it was
  # printed.
  if [ "$stuck_how" = "chattr +i" ]; then
    chattr -i "$data/PREP1/stuck.spl"
  else
    umount "$data/PREP1"
  fi
  rm -f "$data/PREP1/stuck.spl"
else
  report "made a delivered job undeletable" "nothing made it so: $(IFS=';'; echo "${tried[*]}")" SKIP
fi

# --- a printer whose design file is missing ---------------------------------
reload_config "PREP1|LABEL1|LABEL2|LabelDesign.txt" "PREP2|LABEL2|LABEL1|PREP2Design.txt"
design_jobs=()
for ((n = 0; n < 3; n++)); do
  drop PREP2 "nodesign$n.spl"
  design_jobs+=("PREP2/nodesign$n.spl")
done
sleep 3 # the design is looked for every 2 s meanwhile
waiting=0
for ((n = 0; n < 3; n++)); do
  [ -e "$data/PREP2/nodesign$n.spl" ] && [ ! -e "$data/LABEL2/nodesign$n.spl" ] &&
    [ ! -e "$data/LABEL1/nodesign$n.spl" ] && waiting=$((waiting + 1))
done
said=$(log_count '# PREP2 has no label design to print with ("PREP2Design.txt" cannot be found)')
cp "$data/LabelDesign.txt" "$data/.design.tmp" && mv "$data/.design.tmp" "$data/PREP2Design.txt"
if [ "$waiting" -eq 3 ] && [ "$said" -eq 1 ] &&
  wait_until 10 all_delivered_once "$work/spooler.out" -- "${design_jobs[@]}" &&
  log_has '# Label design "PREP2Design.txt" of PREP2 is read: its jobs are printed'; then
  report "dropped 3 jobs for PREP2, whose design file is missing, then saved the design" \
    "the jobs waited (said once), then all 3 printed once" PASS
else
  report "dropped 3 jobs for PREP2, whose design file is missing, then saved the design" \
    "$waiting of 3 waited, said $said times, or not all printed once after the save" FAIL
fi

# --- configuration rows that cannot work --------------------------------------
# Written by hand: names the configuration program would refuse, a source
# listed twice, a destination that is its own source. PREP2's row has an empty
# backup, and so no backup printer.
reload_config "PREP1|LABEL1|LABEL2|LabelDesign.txt" "PREP2|LABEL2||LabelDesign.txt" \
  "PREP 3|LABEL1||LabelDesign.txt" "PREP.3|LABEL1||LabelDesign.txt" \
  "PRÉP4|LABEL1||LabelDesign.txt" "LONGPREP9X|LABEL1||LabelDesign.txt" \
  "PREP1|LABEL2||LabelDesign.txt" "PREP5|PREP5||LabelDesign.txt"
refused=0
for row in 3 4 5 6 7 8; do
  [ "$(grep -c "ERROR: Row $row (.*) is not served: " "$work/spooler.out")" -eq 1 ] &&
    refused=$((refused + 1))
done
"$hostsim" raise-error "$data" LABEL2 >/dev/null
drop PREP1 goodrow.spl
drop PREP2 nobackup.spl
if [ "$refused" -eq 6 ] && ! grep -q 'Row [12] (.*) is not served' "$work/spooler.out" &&
  wait_until 10 all_delivered_once "$work/spooler.out" -- PREP1/goodrow.spl &&
  wait_until 10 test -e "$data/VelmoraHeldJobs/PREP2/nobackup.spl" &&
  log_has '# PREP2 has no backup printer' && ! grep -q 'Spooler is down for printer: *$' "$work/spooler.out" &&
  [ ! -e "$data/PREP 3" ] && [ ! -e "$data/PREP.3" ] && [ ! -e "$data/PRÉP4" ] && [ ! -e "$data/PREP5" ] &&
  [ ! -e "$data/LONGPREP" ] && [ ! -e "$data/LONGPREP9X" ]; then
  report "saved rows \"PREP 3\", \"PREP.3\", \"PRÉP4\", \"LONGPREP9X\", PREP1 twice, PREP5 -> PREP5, an empty backup" \
    "each bad row refused in one line, no folder made for it; PREP1 served; PREP2's job held, no backup tried" PASS
else
  report "saved rows \"PREP 3\", \"PREP.3\", \"PRÉP4\", \"LONGPREP9X\", PREP1 twice, PREP5 -> PREP5, an empty backup" \
    "$refused of 6 bad rows refused in one line, or the good rows not served as they are" FAIL
fi
"$hostsim" clear-error "$data" LABEL2 >/dev/null
reload_config "${demo_rows[@]}"

# --- held jobs out of sight --------------------------------------------------
mv "$data/VelmoraHeldJobs" "$work/held-aside"
echo "not a folder" >"$data/VelmoraHeldJobs"
"$console" --send-held-jobs-back "$data" >"$work/sendback2.out" 2>&1
code=$?
rm "$data/VelmoraHeldJobs"
mv "$work/held-aside" "$data/VelmoraHeldJobs"
if [ "$code" -eq 1 ] &&
  grep -qF '# VelmoraHeldJobs cannot be read: the jobs held in it are not sent back' "$work/sendback2.out"; then
  report "put a file where VelmoraHeldJobs belongs, sent held jobs back" "said it cannot be read, exit code 1" PASS
else
  report "put a file where VelmoraHeldJobs belongs, sent held jobs back" "exit code $code, or not said" FAIL
fi

# --- two spoolers on one data directory ------------------------------------
"$console" "$data" >"$work/second.out" 2>"$work/second.err" &
second=$!
pids+=("$second")
wait_until 15 grep -qF '# Another program serves PREP2' "$work/second.out"
twice_jobs=()
for ((n = 0; n < 10; n++)); do
  drop PREP1 "twice1x$n.spl"
  drop PREP2 "twice2x$n.spl"
  twice_jobs+=("PREP1/twice1x$n.spl" "PREP2/twice2x$n.spl")
done
if wait_until 15 all_delivered_once "$work/spooler.out" "$work/second.out" -- "${twice_jobs[@]}" &&
  ! grep -q '^Print job:' "$work/second.out"; then
  report "started a second spooler on the data directory, dropped 20 jobs" \
    "each delivered once, all by the spooler holding the folders" PASS
else
  report "started a second spooler on the data directory, dropped 20 jobs" \
    "a job not delivered, delivered twice, or taken by the second spooler" FAIL
fi
# The serving spooler stopped with a job waiting in each folder, then killed:
# the second takes both folders over, and their waiting jobs. The drops are
# past when the kill comes; what wakes the second spooler then is the end of
# the first (its lock tables closed) or its own retry once a second.
kill -STOP "$spooler"
drop PREP1 takeover1.spl
drop PREP2 takeover2.spl
sleep 1.5
took_over() {
  grep -qF '# PREP1 is served by this program now' "$work/second.out" &&
    grep -qF '# PREP2 is served by this program now' "$work/second.out"
}
started=$(date +%s%N)
kill -9 "$spooler"
wait "$spooler" 2>/dev/null
wait_until 5 took_over
took=$(( ($(date +%s%N) - started) / 1000000 ))
if took_over && [ "$took" -le 3000 ] &&
  wait_until 10 all_delivered_once "$work/spooler.out" "$work/second.out" -- \
    PREP1/takeover1.spl PREP2/takeover2.spl &&
  grep -qxF 'Print job: PREP1\takeover1.spl' "$work/second.out" &&
  grep -qxF 'Print job: PREP2\takeover2.spl' "$work/second.out"; then
  report "killed the serving spooler (kill -9) with a job waiting in PREP1 and PREP2" \
    "the second spooler took both folders over in ${took} ms, said so, and delivered both jobs" PASS
else
  report "killed the serving spooler (kill -9) with a job waiting in PREP1 and PREP2" \
    "not taken over within 3 s (${took} ms), or the waiting jobs not delivered by it" FAIL
fi
kill -TERM "$second"
wait "$second" 2>/dev/null
start_spooler

# --- a full disk ------------------------------------------------------------
if [ "$(id -u)" -eq 0 ]; then
  stop_spooler
  mkdir -p "$work/full"
  if mount -t tmpfs -o size=256k tmpfs "$data/LABEL1" 2>/dev/null; then
    mounted+=("$data/LABEL1")
    kill -TERM "${pids[0]}"; wait "${pids[0]}" 2>/dev/null
    start_holder LABEL1
    head -c 10M /dev/zero >"$data/LABEL1/filler" 2>/dev/null
    start_spooler
    big_job() { for ((b = 0; b < 20; b++)); do job_text "full disk $b"; done; }
    big_job >"$data/PREP1/.full.tmp" && mv "$data/PREP1/.full.tmp" "$data/PREP1/full.spl"
    sleep 2
    if { [ -e "$data/PREP1/full.spl" ] || [ -s "$data/LABEL2/full.spl" ]; } &&
      [ ! -e "$data/LABEL1/full.spl" ] && ! ls -A "$data/LABEL1" | grep -q '^\.velmora-'; then
      report "delivered a job to a full primary (256 kB tmpfs)" \
        "job kept or sent to the backup, no partial file, no temporary left" PASS
    else
      report "delivered a job to a full primary (256 kB tmpfs)" "job lost or a partial file left" FAIL
    fi
  else
    report "delivered a job to a full primary (256 kB tmpfs)" "tmpfs could not be mounted" SKIP
  fi
else
  report "delivered a job to a full primary (small tmpfs)" "needs root" SKIP
fi

# --- the spooler as another user --------------------------------------------
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  stop_spooler
  rm -f "$data/LABEL1/filler"
  chown -R 65534:65534 "$data" 2>/dev/null
  chmod 755 "$work"
  start_spooler setpriv --reuid=65534 --regid=65534 --clear-groups
  job_text "secret" >"$data/PREP1/.secret.tmp"
  chmod 600 "$data/PREP1/.secret.tmp"
  mv "$data/PREP1/.secret.tmp" "$data/PREP1/secret.spl"
  job_text "readable" >"$data/PREP1/.open.tmp"
  chown 65534:65534 "$data/PREP1/.open.tmp"
  mv "$data/PREP1/.open.tmp" "$data/PREP1/open.spl"
  if wait_until 10 test -s "$data/LABEL1/open.spl" && wait_until 5 log_has 'secret.spl" cannot be read' &&
    wait_until 5 test -e "$held/secret.spl" && [ ! -s "$data/LABEL1/secret.spl" ]; then
    report "spooler as \"nobody\", a mode-0600 job of root" "not read, kept in VelmoraHeldJobs, not lost" PASS
  else
    report "spooler as \"nobody\", a mode-0600 job of root" "read, or lost" FAIL
  fi
  exec {writer}>"$data/PREP1/slow.spl"
  job_text "slow writer" | head -c 300 >&"$writer"
  sleep 1
  if [ -e "$data/PREP1/slow.spl" ] && [ ! -s "$data/LABEL1/slow.spl" ]; then
    report "spooler as \"nobody\", root still writing a job (no lease possible)" "job left alone" PASS
  else
    report "spooler as \"nobody\", root still writing a job (no lease possible)" "taken half-written" FAIL
  fi
  exec {writer}>&-
else
  report "spooler as another user" "needs root and setpriv" SKIP
fi

# --- configuration replaced by a FIFO, then SIGTERM -------------------------
mkfifo "$work/config.fifo"
mv -f "$work/config.fifo" "$data/VelmoraLabelConfig.XML" # replaced in one step
if wait_until 10 grep -q 'Not a regular file' "$work/spooler.err" && kill -0 "$spooler" 2>/dev/null; then
  report "replaced the configuration file by a FIFO" "load refused at once, spooler running" PASS
else
  report "replaced the configuration file by a FIFO" "reload hung or went unreported" FAIL
fi
started=$(date +%s%N)
kill -TERM "$spooler"
gone() { ! kill -0 "$1" 2>/dev/null; }
wait_until 5 gone "$spooler"
took=$(( ($(date +%s%N) - started) / 1000000 ))
if ! kill -0 "$spooler" 2>/dev/null && [ "$("$hostsim" probe "$data" PREP1)" = down ]; then
  report "sent SIGTERM" "ended in ${took} ms, PREP1's lock released" PASS
else
  report "sent SIGTERM" "still running after ${took} ms or PREP1 still locked" FAIL
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "every case passed"
