#!/usr/bin/env bash
# From a key press to the screen reader speaking the command's message, beside
# the screen reader's own echo of the key, in the same run: Orca under Xvfb
# (tests/listening/session.sh). Times are when Orca hands each utterance to
# speech-dispatcher (its debug log). Prints min / median / max of 10 presses.
# Then the Down arrow on the help page to the next line heard (no echo: the
# line is the first thing said).
# Usage: bench/bench_speech.sh [PROGRAM] [BOOK]
set -u
HERE=$(cd "$(dirname "$0")/.." && pwd)
PROGRAM=${1:-$HERE/build/src/qyrplayer}
BOOK=${2:-$HERE/book}
source "$HERE/tests/listening/session.sh"
D=$(mktemp -d /tmp/qyr-voce.XXXXXX)
trap 'sr_stop; [ -n "${KEEP:-}" ] || rm -rf "$D"' EXIT
sr_start "$D"
sr_open_book "$PROGRAM" "$BOOK"
sleep 1
sr_key Tab Return
sr_event '"playing"'
sleep 2

secs() { awk -F: '{ printf "%.6f\n", $1 * 3600 + $2 * 60 + $3 }'; }
: > "$D/presses"
for press in "ctrl+3|notifica" "ctrl+2|notifica AVANTI" "alt+equal|notifica Lettura"; do
  IFS='|' read -r key message <<<"$press"
  for _ in $(seq 10); do
    echo "$key|$message|$(date +%T.%N | secs)" >> "$D/presses"
    sr_key "$key"
    sleep 1.4
  done
done
sr_key F1
sleep 2
for _ in $(seq 10); do
  echo "Down||$(date +%T.%N | secs)" >> "$D/presses"
  sr_key Down
  sleep 1.4
done
# Orca writes its log in blocks: one more press pushes the last one out.
sr_key Down
sleep 2
# For each press: the first utterance after it (Orca's echo of the key) and
# the first that is the command's message.
/usr/bin/python3 - "$D/presses" "$D/orca.log" <<'PY'
import re, sys, statistics
said = []
for line in open(sys.argv[2], encoding="utf-8", errors="replace"):
    m = re.match(r"(\d+):(\d+):([\d.]+) - SPEECH DISPATCHER: Speaking '(.*)", line)
    if m:
        said.append((int(m[1]) * 3600 + int(m[2]) * 60 + float(m[3]), re.sub(r"<[^>]*>", "", m[4])))
rows = {}
for p in open(sys.argv[1]):
    key, message, t0 = p.rstrip("\n").split("|")
    t0 = float(t0)
    after = [(t, x) for t, x in said if t > t0 and t < t0 + 1.4]
    echo = after[0][0] if after else None
    msg = next((t for t, x in after if x.startswith(message)), None)
    r = rows.setdefault(key, ([], [], []))
    if echo is not None: r[0].append((echo - t0) * 1000)
    if msg is not None: r[1].append((msg - t0) * 1000)
    if echo is not None and msg is not None: r[2].append((msg - echo) * 1000)
fmt = lambda v: "%5.0f %5.0f %5.0f (%d/10)" % (min(v), statistics.median(v), max(v), len(v)) if v else "non detto"
print("%-10s %-26s %-26s %s" % ("tasto", "eco min/med/max ms", "messaggio min/med/max ms", "messaggio dopo l'eco, mediana ms"))
for key, (e, m, g) in rows.items():
    print("%-10s %-26s %-26s %s" % (key, fmt(e), fmt(m), "%.0f" % statistics.median(g) if g else "-"))
PY
