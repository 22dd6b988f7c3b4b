# A screen-reader session to listen to the program: Xvfb, a private D-Bus and
# accessibility bus, speech-dispatcher writing every utterance to a file
# instead of a sound card, and Orca. Sourced by the listening test and the
# speech benchmark. Every failure to start says which piece failed.
#
#   sr_start DIR        starts everything; SPEECH is the file of utterances
#   sr_program ARGS...  starts the player in the session and focuses its window
#   sr_open_book P B    the player P on book B, fresh settings, contents loaded
#   sr_key KEYS...      presses real keys (xdotool names)
#   sr_expect TEXT [S]  waits up to S seconds (default 8) for TEXT spoken after
#                       the last mark; fails with what was spoken instead
#   sr_mark             forgets what has been spoken so far
#   sr_count TEXT       how many lines spoken after the last mark hold TEXT
#   sr_stop             stops what sr_start and sr_program started
#   sr_listen NAME P B  a listening test's session: its folder D (kept when the
#                       test fails), the screen reader, the player P on book B
#   sr_verdict          fails the test if anything was not heard

SR_PIDS=()

sr_fail() { echo "ASCOLTO FALLITO: $*" >&2; sr_stop; exit 1; }

sr_need() {
  local missing=()
  for c in Xvfb xdotool dbus-launch orca speech-dispatcher /usr/libexec/at-spi-bus-launcher; do
    command -v "$c" >/dev/null 2>&1 || [ -x "$c" ] || missing+=("$c")
  done
  [ ${#missing[@]} -eq 0 ] || sr_fail "manca: ${missing[*]} (tools/deps.sh --tests li installa)"
}

# A display of its own, in SR_DIR: Xvfb takes a free one itself and writes
# its number, so two tests that start at the same moment cannot both take the
# same one (a check of the sockets beforehand could not tell them apart).
sr_xvfb() {
  local n= attempt pid
  # Its number given, the display must also answer before a program is
  # started on it: a server on its way out can take the new one's socket
  # with it, and the display then never answers. Another server is started.
  for attempt in 1 2 3; do
    rm -f "$SR_DIR/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$SR_DIR/display" >"$SR_DIR/xvfb.log" 2>&1 &
    pid=$!; SR_PIDS+=($pid); disown
    n=
    for _ in $(seq 50); do n=$(head -1 "$SR_DIR/display" 2>/dev/null); [ -n "$n" ] && break; sleep 0.1; done
    [ -n "$n" ] || sr_fail "Xvfb non parte: $(tail -3 "$SR_DIR/xvfb.log")"
    for _ in $(seq 50); do DISPLAY=:$n xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
    DISPLAY=:$n xdotool getdisplaygeometry >/dev/null 2>&1 && break
    echo "il display :$n di Xvfb non risponde (tentativo $attempt)" >&2
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    n=
  done
  [ -n "$n" ] || sr_fail "nessun display di Xvfb risponde: $(tail -3 "$SR_DIR/xvfb.log")"
  export DISPLAY=:$n LANG=C.UTF-8 LC_ALL=C.UTF-8 QTWEBENGINE_DISABLE_SANDBOX=1
  export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
  unset QT_QPA_PLATFORM
}

sr_start() {
  SR_DIR=$1
  sr_need
  mkdir -p "$SR_DIR/run" "$SR_DIR/home" "$SR_DIR/config" "$SR_DIR/speechd/modules" "$SR_DIR/orca"
  chmod 700 "$SR_DIR/run"
  SPEECH=$SR_DIR/speech.txt
  : > "$SPEECH"
  sr_xvfb
  export XDG_RUNTIME_DIR=$SR_DIR/run HOME=$SR_DIR/home XDG_CONFIG_HOME=$SR_DIR/config LANGUAGE=it
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY=1
  export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu --force-renderer-accessibility"
  eval "$(dbus-launch --sh-syntax)" || sr_fail "dbus-launch non parte"
  SR_PIDS+=("$DBUS_SESSION_BUS_PID")
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$SR_DIR/atspi.log" 2>&1 &
  SR_PIDS+=($!); disown
  # Esperanto, which nothing else here speaks (Orca reads a web page in the
  # page's language, English when it says none), goes to a voice that takes
  # a second for each text, as a real one takes its time: a book in it read
  # by the program's voice leaves Orca the time to say what comes with it.
  cat > "$SR_DIR/speechd/speechd.conf" <<CONF
DefaultModule textlog
AddModule "textlog" "sd_generic" "textlog.conf"
AddModule "slowlog" "sd_generic" "slowlog.conf"
LanguageDefaultModule "eo" "slowlog"
DefaultLanguage "it"
AudioOutputMethod "alsa"
AudioALSADevice "null"
CONF
  cat > "$SR_DIR/speechd/modules/textlog.conf" <<CONF
GenericExecuteSynth "printf '%s|%s\\\\n' \"\$(date +%T.%N | cut -c1-12)\" \\'\$DATA\\' >> $SPEECH"
GenericCmdDependency "printf"
GenericLanguage "it" "it" "utf-8"
AddVoice "it" "MALE1" "it"
CONF
  cat > "$SR_DIR/speechd/modules/slowlog.conf" <<CONF
GenericExecuteSynth "printf '%s|%s\\\\n' \"\$(date +%T.%N | cut -c1-12)\" \\'\$DATA\\' >> $SPEECH; sleep 1"
GenericCmdDependency "printf"
GenericLanguage "eo" "eo" "utf-8"
AddVoice "eo" "MALE1" "eo"
CONF
  speech-dispatcher -C "$SR_DIR/speechd" -s -t 0 >"$SR_DIR/speechd.log" 2>&1 &
  SR_PIDS+=($!); disown
  sleep 0.5
  # Orca refuses to start while another of the same user runs, in any session
  # (another listening test on this machine): its end is waited for, and
  # Orca started again when the other one came first.
  local orca_pid _try
  for _try in 1 2 3 4 5 6; do
    for _ in $(seq 120); do pgrep -u "$(id -u)" -x orca >/dev/null || break; sleep 1; done
    orca -u "$SR_DIR/orca" --debug-file "$SR_DIR/orca.log" >"$SR_DIR/orca.out" 2>&1 &
    orca_pid=$!; disown
    for _ in $(seq 200); do
      grep -q "Lettore schermo attivo" "$SPEECH" && break
      kill -0 "$orca_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$orca_pid" 2>/dev/null && break
  done
  SR_PIDS+=("$orca_pid")
  grep -q "Lettore schermo attivo" "$SPEECH" ||
    sr_fail "Orca non ha parlato entro 20 s (speech-dispatcher: $(tail -2 "$SR_DIR/speechd.log"); orca: $(tail -2 "$SR_DIR/orca.out"))"
  sr_mark
}

sr_program() {
  # Its standard input stays open (for --automation): sr_send writes there.
  rm -f "$SR_DIR/commands"; mkfifo "$SR_DIR/commands"
  exec 7<>"$SR_DIR/commands"
  "$@" <&7 >"$SR_DIR/program.out" 2>"$SR_DIR/program.err" &
  SR_PROGRAM=$!
  SR_PIDS+=("$SR_PROGRAM"); disown
  local win=
  for _ in $(seq 300); do
    win=$(xdotool search --onlyvisible --pid "$SR_PROGRAM" 2>/dev/null | head -1)
    [ -n "$win" ] && break
    kill -0 "$SR_PROGRAM" 2>/dev/null || sr_fail "il programma è uscito: $(tail -5 "$SR_DIR/program.err")"
    sleep 0.1
  done
  [ -n "$win" ] || sr_fail "la finestra del programma non compare"
  SR_WINDOW=$win
  xdotool windowactivate "$win" 2>/dev/null
  xdotool windowfocus "$win"
}

# One automation command (JSON), and waiting for an event of the program.
sr_send() { printf '%s\n' "$1" >&7; }
# How many events matching PATTERN the program has given so far, and waiting
# for one more than COUNT.
sr_events() { grep -c -- "$1" "$SR_DIR/program.out"; }
sr_event_after() {
  local pattern=$1 count=$2 limit=${3:-20} i
  for i in $(seq $((limit * 10))); do
    [ "$(sr_events "$pattern")" -gt "$count" ] && return 0
    sleep 0.1
  done
  sr_fail "il programma non ha dato un nuovo evento $pattern entro $limit s"
}
sr_event() {
  local pattern=$1 limit=${2:-20} i
  for i in $(seq $((limit * 10))); do
    grep -q -- "$pattern" "$SR_DIR/program.out" && return 0
    sleep 0.1
  done
  sr_fail "il programma non ha dato l'evento $pattern entro $limit s"
}

# The player on BOOK with fresh settings, in the session, its contents page loaded.
sr_open_book() {
  sr_program "$1" --automation --book "$2" --settings "$SR_DIR/settings.sqlite" --audio-out null
  sr_event '"ready"'
  sr_event 'Sommario - Il faro'
}

sr_mark() { SR_SEEN=$(wc -l < "$SPEECH"); }

# With no window manager, nothing gives a new dialog the keyboard, nor gives it
# back to the window when the dialog closes: the newest window of the program
# that is on screen gets it, unless one of its windows has it already.
sr_focus() {
  local wins focus
  wins=$(xdotool search --onlyvisible --pid "$SR_PROGRAM" 2>/dev/null)
  focus=$(xdotool getwindowfocus 2>/dev/null)
  grep -qx -- "$focus" <<<"$wins" && return 0
  [ -n "$wins" ] && xdotool windowfocus "$(tail -1 <<<"$wins")" 2>/dev/null
}

sr_key() {
  sr_focus
  local k
  for k in "$@"; do xdotool key --clearmodifiers "$k"; sleep 0.15; done
}

# Presses KEY until TEXT is heard, at most TIMES times, as a reader going down
# the lines to the one wanted: each press waits for its line to be spoken.
sr_key_until() {
  local key=$1 text=$2 times=${3:-12} n i plain
  plain=$(printf '%s' "$text" | sr_plain)
  for n in $(seq "$times"); do
    sr_mark
    sr_key "$key"
    for i in $(seq 15); do
      sr_heard | sr_plain | grep -qiF -- "$plain" && { sr_mark; return 0; }
      sleep 0.1
    done
  done
  echo "NON SENTITO: \"$text\" dopo $times volte $key" >&2
  SR_FAILED=$((${SR_FAILED:-0} + 1))
  return 1
}

# Spoken lines since the mark, without their time stamps.
sr_heard() { tail -n +"$((SR_SEEN + 1))" "$SPEECH" | cut -d'|' -f2-; }
# Compared on their plain letters: the speech module may garble accented ones.
sr_plain() { LC_ALL=C tr -cd '\11\12\40-\176'; }

sr_expect() {
  sr_expect_nomark "$@" && sr_mark
}
# As sr_expect, leaving what was heard for the next check.
sr_expect_nomark() {
  local text=$1 limit=${2:-8} i
  for i in $(seq $((limit * 10))); do
    sr_heard | sr_plain | grep -qiF -- "$(printf '%s' "$text" | sr_plain)" && return 0
    sleep 0.1
  done
  echo "NON SENTITO: \"$text\". Sentito invece:" >&2
  sr_heard | sed 's/^/    /' >&2
  SR_FAILED=$((${SR_FAILED:-0} + 1))
  sr_mark
  return 1
}

sr_stop() {
  local p
  for p in "${SR_PIDS[@]}"; do kill "$p" 2>/dev/null; done
  sleep 0.3
  for p in "${SR_PIDS[@]}"; do kill -9 "$p" 2>/dev/null; done
  SR_PIDS=()
}

# Types text into whatever has the keyboard.
sr_type() { sr_focus; xdotool type --delay 60 "$1"; }

# How many spoken lines since the mark hold TEXT.
sr_count() { sr_heard | sr_plain | grep -ciF -- "$(printf '%s' "$1" | sr_plain)"; }

step() { echo "-- $*"; }

# Waits until FIRST and then THEN have been heard, in that order, within
# LIMIT seconds (the speech may split a sentence over several utterances;
# nothing heard yet is no success).
sr_heard_in_order() {
  local first=$1 then=$2 limit=${3:-30} i
  for i in $(seq $((limit * 10))); do
    sr_heard | sr_plain | tr '\n' ' ' | tr -s ' ' | awk -v a="$first" -v b="$then" \
      '{ s = s $0 } END { i = index(s, a); exit !(i && index(substr(s, i + length(a)), b)) }' && { sr_mark; return 0; }
    sleep 0.1
  done
  echo "NON SENTITO: \"$first\" e dopo \"$then\". Sentito invece:" >&2
  sr_heard | sed 's/^/    /' >&2
  SR_FAILED=$((${SR_FAILED:-0} + 1))
  sr_mark
}

sr_listen() {
  D=$(mktemp -d "/tmp/qyr-$1.XXXXXX")
  trap 'rc=$?; sr_stop; [ $rc -eq 0 ] && rm -rf "$D"' EXIT
  sr_start "$D"
  sr_open_book "$2" "$3"
}

sr_verdict() {
  if [ "${SR_FAILED:-0}" -ne 0 ]; then
    echo "ASCOLTO FALLITO: $SR_FAILED frasi non sentite (registrazioni in $D)" >&2
    exit 1
  fi
  echo "ascolto riuscito"
}
