#!/usr/bin/env bash
# Listens to what a reader hears when the program starts, when it resumes
# inside a chapter, in the folder chooser of Ctrl+O, and in the dialogs that
# must be heard once: Orca under Xvfb, its speech written to a file, real
# keys to the window.
# Usage: listen_start.sh PROGRAM BOOK
set -u
PROGRAM=$1
BOOK=$2
source "$(dirname "$0")/session.sh"
D=$(mktemp -d /tmp/qyr-avvio.XXXXXX)
trap 'rc=$?; sr_stop; [ $rc -eq 0 ] && rm -rf "$D"' EXIT
sr_start "$D"

# A shelf with the book, a folder that holds no book, and a zipped book as
# libraries hand them out (only its name is listened for).
SHELF=$D/libri
mkdir -p "$SHELF/senza libro/dentro"
: > "$SHELF/zeta.daisy"
cp -r "$BOOK" "$SHELF/faro"
TITLE="Sommario - Il faro di Punta Lunga"
OPENING="QYR Player: apertura del libro Il faro di Punta Lunga"

fail() { echo "$*" >&2; SR_FAILED=$((${SR_FAILED:-0} + 1)); }

start_program() {
  sr_program "$PROGRAM" --automation --book "$SHELF/faro" --settings "$D/settings.sqlite" --audio-out null
  SHOWN=$(date +%T.%N | cut -c1-12)
}

# Seconds of the day of a time stamp of the speech file (hh:mm:ss.mmm).
seconds() { awk -F: '{ printf "%.3f\n", $1 * 3600 + $2 * 60 + $3 }' <<<"$1"; }

# TEXT heard, then nothing more of it for a while: exactly one line says it.
sr_once() {
  local text=$1 limit=${2:-8} n
  sr_expect_nomark "$text" "$limit" || return 1
  sleep 2
  n=$(sr_heard | sr_plain | grep -ciF -- "$(printf '%s' "$text" | sr_plain)")
  [ "$n" -eq 1 ] || { fail "SENTITO $n VOLTE: \"$text\""; sr_heard | sed 's/^/    /' >&2; }
  sr_mark
}


step "avvio: il programma e il libro, appena compare la finestra"
start_program
if sr_expect_nomark "$OPENING" 5; then
  said=$(tail -n +"$((SR_SEEN + 1))" "$SPEECH" | grep -F "$OPENING" | head -1 | cut -d'|' -f1)
  late=$(awk -v a="$(seconds "$SHOWN")" -v b="$(seconds "$said")" 'BEGIN { printf "%.2f", b - a }')
  echo "   sentito $late s dopo la comparsa della finestra"
  awk -v l="$late" 'BEGIN { exit !(l <= 1.0) }' || fail "parole d'avvio sentite dopo $late s (più di un secondo)"
fi
sr_once "$OPENING" 1
sr_event 'Sommario - Il faro'
sr_expect "$TITLE"

step "un capitolo, con \"Riparti dal punto di uscita\" acceso"
sr_key Tab
sr_expect "Capitolo primo"
sr_key Return
sr_expect "Capitolo 1 - Come"
sr_event '"playing"'
sr_key ctrl+8
sr_expect "Riparti dal punto di uscita"
sr_key space
sr_event '"key":"SavePos","section":"Player","t":[0-9]*,"value":"1"'
sr_key ctrl+8

step "la domanda d'uscita, sentita una volta"
sr_send '{"cmd":"quit"}'
sr_once "Sei sicuro di voler uscire"
# "No" has the keyboard first: the reader moves to "Sì" and presses it.
sr_key shift+Tab Return
for _ in $(seq 100); do kill -0 "$SR_PROGRAM" 2>/dev/null || break; sleep 0.1; done
kill -0 "$SR_PROGRAM" 2>/dev/null && fail "il programma non è uscito dopo il Sì"

step "di nuovo avvio: ripresa nel capitolo, con il titolo del libro e quello del capitolo"
start_program
sr_once "$OPENING" 5
sr_expect "Capitolo 1 - Come" 12
sr_event '"playing"'

step "Ctrl+O: la casella della cartella mostrata, con la sua etichetta e la cartella"
sr_key ctrl+o
sr_expect "Apri un libro"
# From the folder's name box back past the list, the side bar and the five
# buttons (going back and forth are off in a new chooser) to the box.
sr_key shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
sr_expect_nomark "Cerca in:" && sr_expect "$SHELF"

step "Ctrl+O: entrare in una cartella e uscirne, sentendone il nome"
sr_key Tab Tab Tab Tab Tab Tab   # on to the list of folders
sr_expect "File"
sr_type s                        # the first folder whose name starts with "s"
sr_expect "senza libro"
sr_key Return
sr_expect "Cartella senza libro"
sr_key BackSpace
sr_expect "Cartella libri"
sr_type z                        # the zipped book, listed with the folders
sr_expect "zeta.daisy"

step "una cartella senza libro: rifiutata, e la scelta resta aperta lì"
sr_key Tab
sr_expect "Cartella:"
sr_type "senza libro/"; sr_key Return
sr_once "non contiene un libro"
sr_key Return
sr_expect "Cartella senza libro"
sr_type "../faro/"; sr_key Return
sr_once "Libro aperto"
sr_heard_all=$(cut -d'|' -f2- "$SPEECH")
grep -qF "Nessun libro aperto" <<<"$sr_heard_all" && fail "la scelta si è chiusa: \"Nessun libro aperto\""
grep -qiF "about:" <<<"$sr_heard_all" && fail "sentito un indirizzo \"about:\""

sr_verdict
