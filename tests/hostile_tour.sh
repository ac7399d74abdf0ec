#!/usr/bin/env bash
# The spooler under hostile and unlucky conditions, end to end: FerrulinConsole
# serves a data directory made by hostsim while this script plays other users,
# odd file names, links, FIFOs, huge jobs, both destinations down, a full
# disk and kill -9.
#
#   tests/hostile_tour.sh build/src/spooler/console/FerrulinConsole build/tools/hostsim/hostsim
#
# Prints one line per case, "what was done — what happened — PASS" (or FAIL),
# and exits non-zero when any case failed. Cases that need root (another user,
# a small tmpfs) say SKIP without it. Every wait is bounded; the whole tour
# takes a minute or two. VELMORA_TOUR_KEEP=1 keeps its folder for a look.
set -u

console=$(realpath "${1:?FerrulinConsole path}")
hostsim=$(realpath "${2:?hostsim path}")
demo=$(realpath "$(dirname "$0")/../demo")

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-tour.XXXXXX")
chmod 755 "$work"
data="$work/data"
failures=0
pids=()
mounted=()

cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  wait 2>/dev/null
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null; done
  if [ -n "${VELMORA_TOUR_KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

report() { # what-was-done what-happened PASS|FAIL|SKIP
  printf '%s — %s — %s\n' "$1" "$2" "$3"
  [ "$3" = FAIL ] && failures=$((failures + 1))
  return 0
}

# Polls a condition every 0.1 s for at most $1 seconds.
wait_for() {
  local limit=$(( $1 * 10 ))
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
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
  wait_for 10 grep -q "holding $1" "$work/hold-$1.out"
}

start_spooler() { # [command prefix...]
  : >"$work/spooler.out"
  "$@" "$console" "$data" >>"$work/spooler.out" 2>"$work/spooler.err" &
  spooler=$!
  pids+=("$spooler")
  wait_for 15 log_has "Configuration loaded"
}

stop_spooler() {
  kill -TERM "$spooler" 2>/dev/null
  wait "$spooler" 2>/dev/null
}

"$hostsim" make-demo "$data" >/dev/null || { echo "hostsim make-demo failed"; exit 1; }
cp "$demo/VelmoraLabelConfig.XML" "$demo/LabelDesign.txt" "$data/"
start_holder LABEL1 && start_holder LABEL2 || { echo "hostsim hold failed"; exit 1; }
drop PREP2 waiting.spl # waits from before the start
start_spooler || { echo "FerrulinConsole did not start"; cat "$work/spooler.err"; exit 1; }

# --- the road of an ordinary job --------------------------------------------
drop PREP1 A123.spl
if wait_for 10 test -s "$data/LABEL1/A123.spl" -a ! -e "$data/PREP1/A123.spl"; then
  report "dropped an ordinary job into PREP1" "merged job in LABEL1, source gone" PASS
else
  report "dropped an ordinary job into PREP1" "not delivered" FAIL
fi

# --- a job waiting from before the start ------------------------------------
if wait_for 10 test -s "$data/LABEL2/waiting.spl" -a ! -e "$data/PREP2/waiting.spl"; then
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
if ((left_alone == 0)) && wait_for 10 test -s "$data/LABEL1/slow-whole.spl" -a ! -e "$data/PREP1/slow.spl" &&
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
if wait_for 10 test -s "$data/LABEL1/after-odd-entries.spl" -a -s "$data/LABEL1/O'Brien café.spl"; then
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
wait_for 10 test -s "$data/LABEL1/once-more.spl"
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
if wait_for 10 test -s "$data/LABEL1/after-huge.spl" && wait_for 5 log_has 'is larger than 64 MB' &&
  wait_for 5 test -e "$held/huge.spl" &&
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
if wait_for 30 test -e "$data/LABEL1/long.spl" -a ! -e "$data/PREP1/long.spl"; then
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
if wait_for 10 test -s "$data/LABEL1/after-stale.spl" && [ ! -e "$data/LABEL1/$stale" ]; then
  report "left a temporary of a dead spooler in LABEL1, 10 minutes old" "removed at the next delivery" PASS
else
  report "left a temporary of a dead spooler in LABEL1, 10 minutes old" "still there" FAIL
fi

# --- both destinations down: the job is held, and sent back ------------------
"$hostsim" raise-error "$data" LABEL1 >/dev/null
"$hostsim" raise-error "$data" LABEL2 >/dev/null
drop PREP1 held.spl
if wait_for 10 test -e "$data/VelmoraHeldJobs/PREP1/held.spl" && [ ! -e "$data/PREP1/held.spl" ] &&
  log_has '# Failed to print...'; then
  report "dropped a job while both destinations report an error" "held in VelmoraHeldJobs\\PREP1" PASS
else
  report "dropped a job while both destinations report an error" "not held" FAIL
fi
"$hostsim" clear-error "$data" LABEL1 >/dev/null
"$hostsim" clear-error "$data" LABEL2 >/dev/null
"$console" --send-held-jobs-back "$data" >"$work/sendback.out" 2>&1
if wait_for 10 test -s "$data/LABEL1/held.spl" -a ! -e "$data/VelmoraHeldJobs/PREP1/held.spl"; then
  report "sent held jobs back (FerrulinConsole --send-held-jobs-back)" "delivered to LABEL1" PASS
else
  report "sent held jobs back (FerrulinConsole --send-held-jobs-back)" "not delivered" FAIL
fi

# --- kill -9 during a burst -------------------------------------------------
for ((n = 0; n < 30; n++)); do drop PREP1 "burst$n.spl"; done
wait_for 10 test -e "$data/LABEL1/burst3.spl"
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
if wait_for 30 all_delivered; then
  report "started the spooler again and dropped a job" "every job of the burst delivered" PASS
else
  report "started the spooler again and dropped a job" "jobs of the burst left behind" FAIL
fi

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
  if wait_for 10 test -s "$data/LABEL1/open.spl" && wait_for 5 log_has 'secret.spl" cannot be read' &&
    wait_for 5 test -e "$held/secret.spl" && [ ! -s "$data/LABEL1/secret.spl" ]; then
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
if wait_for 10 grep -q 'Not a regular file' "$work/spooler.err" && kill -0 "$spooler" 2>/dev/null; then
  report "replaced the configuration file by a FIFO" "load refused at once, spooler running" PASS
else
  report "replaced the configuration file by a FIFO" "reload hung or went unreported" FAIL
fi
started=$(date +%s%N)
kill -TERM "$spooler"
for ((i = 0; i < 50; i++)); do kill -0 "$spooler" 2>/dev/null || break; sleep 0.1; done
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
