#!/usr/bin/env bash
# Hears a DAISY book as a blind reader does: Orca under Xvfb, its speech
# written to a file. The book (made from speech by tools/make_daisy.sh) says
# its title and reads; Alt+8 says the next heading, Ctrl+D where the reading is;
# the book's text is read line by line with Orca's own keys.
# Usage: listen_daisy.sh PROGRAM SOURCE_DIR
set -u
PROGRAM=$1
SOURCE=$2
source "$(dirname "$0")/session.sh"
D=$(mktemp -d /tmp/qyr-daisy.XXXXXX)
trap 'rc=$?; sr_stop; [ $rc -eq 0 ] && rm -rf "$D"' EXIT
bash "$SOURCE/tools/make_daisy.sh" "$D/libri" >/dev/null 2>&1 || { echo "libri DAISY non fatti: mancano espeak-ng, sox o ffmpeg"; exit 77; }
sr_start "$D"
sr_program "$PROGRAM" --automation --book "$D/libri/daisy202" --settings "$SR_DIR/settings.sqlite" --audio-out null
sr_event '"ready"'

step "il libro si apre: il titolo, poi la lettura dalla prima frase"
sr_expect "Libro di prova" 20
sr_event '"action":"playing"'

step "Alt+8: il titolo seguente"
sr_mark
sr_key alt+8
sr_expect "Sezione uno" 10

step "Ctrl+D: dove sono"
sr_mark
sr_key ctrl+d
sr_expect "Sezione uno, pagina 1, 00:0" 10

step "Giù: Orca legge con i suoi tasti la riga seguente del testo del libro, mentre il segno segue la lettura"
sr_mark
sr_key Down
sr_expect "primo paragrafo del libro" 10

sr_verdict
