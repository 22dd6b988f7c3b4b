#!/usr/bin/env bash
# From the Down arrow to the screen reader speaking the next line of a page:
# Orca under Xvfb (tests/listening/session.sh) on the help page, 10 presses.
# Times are when Orca hands each utterance to speech-dispatcher (its debug
# log). Prints each line heard and min / median / max.
# Usage: bench/bench_lines.sh [PROGRAM] [BOOK]
set -u
HERE=$(cd "$(dirname "$0")/.." && pwd)
PROGRAM=${1:-$HERE/build/src/qyrplayer}
BOOK=${2:-$HERE/book}
source "$HERE/tests/listening/session.sh"
D=$(mktemp -d /tmp/qyr-righe.XXXXXX)
trap 'sr_stop; [ -n "${KEEP:-}" ] || rm -rf "$D"' EXIT
sr_start "$D"
sr_open_book "$PROGRAM" "$BOOK"
sleep 1
sr_key F1
sleep 2

secs() { awk -F: '{ printf "%.6f\n", $1 * 3600 + $2 * 60 + $3 }'; }
: > "$D/presses"
for _ in $(seq 10); do
  echo "$(date +%T.%N | secs)" >> "$D/presses"
  sr_key Down
  sleep 1.2
done
sleep 1
/usr/bin/python3 - "$D/presses" "$D/orca.log" <<'PY'
import re, sys, statistics
said = []
for line in open(sys.argv[2], encoding="utf-8", errors="replace"):
    m = re.match(r"(\d+):(\d+):([\d.]+) - SPEECH DISPATCHER: Speaking '(.*)", line)
    if m:
        said.append((int(m[1]) * 3600 + int(m[2]) * 60 + float(m[3]), re.sub(r"<[^>]*>", "", m[4])))
times = []
for p in open(sys.argv[1]):
    t0 = float(p)
    after = [(t, x) for t, x in said if t0 < t < t0 + 1.2]
    if after:
        times.append((after[0][0] - t0) * 1000)
        print("%5.0f ms  %s" % (times[-1], after[0][1][:70]))
    else:
        print("  non detto")
if times:
    print("freccia giù -> riga detta: min %.0f, mediana %.0f, max %.0f ms (%d/10)" %
          (min(times), statistics.median(times), max(times), len(times)))
PY
