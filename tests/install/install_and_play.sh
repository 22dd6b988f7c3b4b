#!/usr/bin/env bash
# The installed program, as a reader who just installed it would start it:
# no --book, so it must find the sample book installed beside it. Installs
# the build tree into a temporary prefix, starts the program offscreen on its
# automation channel, follows a chapter and checks that its audio plays.
# Usage: install_and_play.sh CMAKE BUILD_DIR
set -uo pipefail
cmake=$1 build=$2
wait_s=60 # for each expected event

tmp=$(mktemp -d)
prefix=$tmp/prefix
events=$tmp/events.jsonl
: > "$events"
pid=
cleanup() {
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "install_and_play: $*" >&2
  echo "--- eventi ricevuti:" >&2
  cat "$events" >&2
  if [ -s "$tmp/stderr" ]; then
    echo "--- errori del programma:" >&2
    tail -n 40 "$tmp/stderr" >&2
  fi
  exit 1
}

"$cmake" --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1 || { cat "$tmp/install.log" >&2; fail "cmake --install non riuscito"; }
[ -x "$prefix/bin/qyrplayer" ] || fail "manca $prefix/bin/qyrplayer"
[ -f "$prefix/share/qyrplayer/book/Index.htm" ] || fail "manca il libro di prova installato"

export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
# Started from elsewhere, so that nothing can be found from the working folder.
cd "$tmp"
mkfifo "$tmp/commands" "$tmp/output"
"$prefix/bin/qyrplayer" --automation --settings "$tmp/settings.sqlite" --audio-out null \
  < "$tmp/commands" > "$tmp/output" 2> "$tmp/stderr" &
pid=$!
exec {in}>"$tmp/commands" {out}<"$tmp/output"

send() { printf '%s\n' "$1" >&"$in"; }

# Reads events until one holds every fragment given; that line is left in
# $line. Fails, showing what came, when none does in time or the program ends.
expect() {
  local deadline=$((SECONDS + wait_s)) frag ok partial=
  while [ $SECONDS -lt $deadline ]; do
    if ! IFS= read -r -t 1 line <&"$out"; then
      # A line cut by the timeout goes on in the next read.
      partial+=$line
      kill -0 "$pid" 2>/dev/null || fail "il programma è terminato mentre si attendeva: $*"
      continue
    fi
    line=$partial$line partial=
    printf '%s\n' "$line" >> "$events"
    ok=1
    for frag in "$@"; do
      [[ $line == *"$frag"* ]] || { ok=0; break; }
    done
    [ $ok -eq 1 ] && return 0
  done
  fail "nessun evento con $* entro ${wait_s} s"
}

expect '"event":"ready"'
# The table of contents of the installed book, not the source tree's.
index="file://$prefix/share/qyrplayer/book/Index.htm"
expect '"event":"document"' 'Index.htm'
[[ $line == *"\"url\":\"$index\""* ]] || fail "aperto un libro diverso da quello installato ($index)"

send '{"cmd":"follow","href":"Libro/cap1.htm"}'
expect '"event":"document"' "\"url\":\"file://$prefix/share/qyrplayer/book/Libro/cap1.htm"
expect '"event":"player"' '"action":"playing"' 'cap1_1'
send '{"cmd":"state"}'
expect '"event":"state"'
[[ $line == *'"playing":true'* ]] || fail "lo stato non dice che l'audio suona: $line"
[[ $line == *"\"file\":\""*"$prefix/share/qyrplayer/book/"* ]] || fail "l'audio non è quello del libro installato: $line"

# The close request asks whether to leave; the answer is yes.
send '{"cmd":"quit"}'
expect '"event":"dialog"'
send '{"cmd":"answer","button":"yes"}'
expect '"event":"closed"'
exec {in}>&-
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "il programma non è uscito dopo closed"
wait "$pid"
rc=$?
[ $rc -eq 0 ] || fail "il programma è uscito con il codice $rc"
echo "install_and_play: il programma installato ha aperto $index e letto l'audio del capitolo"
