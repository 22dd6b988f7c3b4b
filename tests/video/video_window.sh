#!/usr/bin/env bash
# The video window survives any run of video and audio files, shown full
# screen or in the corner: under Xvfb, with real key presses, a page reads a
# video, a tone, the video and the tone again, then the same in the corner;
# after each run the program must still be there, playing the last tone.
# Usage: video_window.sh PROGRAM [VERSION]   (VERSION: 1 = libmpv, 0 = Qt Multimedia)
set -u
PROGRAM=$1
VERSION=${2:-1}
source "$(dirname "$0")/../listening/session.sh"
for c in Xvfb xdotool ffmpeg; do
  command -v "$c" >/dev/null 2>&1 || { echo "manca $c (tools/deps.sh --tests lo installa)" >&2; exit 77; }
done
D=$(mktemp -d /tmp/qyr-video.XXXXXX)
SR_DIR=$D
trap 'rc=$?; sr_stop; [ $rc -eq 0 ] && rm -rf "$D"' EXIT

# A tiny book: a two-second video with sound, a six-second tone, and a page
# that reads them in turn.
B=$D/libro
mkdir -p "$B/Libro" "$B/INCLUDE"
ffmpeg -loglevel error -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=f=660:d=2 -t 2 \
  -c:v mpeg4 -c:a mp3 -shortest "$B/Libro/clip.avi" || { echo "ffmpeg non crea il video" >&2; exit 1; }
ffmpeg -loglevel error -f lavfi -i sine=f=440:d=6 -c:a mp3 "$B/Libro/t440.mp3" || { echo "ffmpeg non crea il tono" >&2; exit 1; }
cat > "$B/Index.htm" <<HTML
<html><head><meta charset="utf-8"><title>Sommario video</title></head>
<body><p><a href="Libro/video.htm">Video e audio</a></p></body></html>
HTML
cat > "$B/Libro/video.htm" <<HTML
<html><head><meta charset="utf-8"><title>Video e audio</title>
<meta name="QYRPLAYER_AUDIO" content="clip.avi">
<meta name="QYRPLAYER_AUDIO_1" content="t440.mp3">
<meta name="QYRPLAYER_AUDIO_2" content="clip.avi">
<meta name="QYRPLAYER_AUDIO_3" content="t440.mp3">
</head><body><h1>Video e audio</h1>
<p><a href="#clip.avi@NOFULL@">Video nell'angolo</a></p></body></html>
HTML

sr_xvfb

sr_program "$PROGRAM" --automation --book "$B" --settings "$D/settings.sqlite" --audio-out null
sr_event '"ready"'
sr_event '"document".*Sommario video'
if [ "$VERSION" = 0 ]; then
  # The player of other versions, chosen in the options panel.
  sr_send '{"cmd":"control","name":"optPlayer","index":0,"action":"click"}'
  sr_event '"key":"Versione","section":"Player","t":[0-9]*,"value":"0"'
fi

alive() { kill -0 "$SR_PROGRAM" 2>/dev/null || sr_fail "il programma è morto ($1): $(tail -5 "$D/program.err")"; }

# Waits for the next event matching the pattern after the cursor, a line of
# the output, and moves the cursor past it.
CURSOR=1
next_event() {
  local pattern=$1 limit=${2:-30} i n
  for i in $(seq $((limit * 10))); do
    n=$(tail -n +"$CURSOR" "$D/program.out" | grep -n -m1 -- "$pattern" | cut -d: -f1)
    if [ -n "$n" ]; then CURSOR=$((CURSOR + n)); return 0; fi
    kill -0 "$SR_PROGRAM" 2>/dev/null || sr_fail "il programma è morto: $(tail -5 "$D/program.err")"
    sleep 0.1
  done
  sr_fail "l'evento $pattern non è arrivato entro $limit s"
}

run() {
  local how=$1 start st
  echo "-- video e audio: $how"
  CURSOR=$(($(wc -l < "$D/program.out") + 1))
  start=$CURSOR
  sr_send "{\"cmd\":\"navigate\",\"url\":\"file://$B/Libro/video.htm\"}"
  # The reader presses keys while the files change (pause and resume), so
  # that real key events reach whichever window is on top as they play.
  for k in 1 2; do
    next_event '"action":"file".*clip.avi'
    next_event '"video-shown"'
    alive "video $k, $how"
    sr_key ctrl+3 ctrl+3
    next_event '"action":"file".*t440'
    next_event '"action":"playing".*t440'
    alive "audio $k, $how"
    sr_key ctrl+3 ctrl+3
  done
  sleep 0.5
  alive "fine, $how"
  sr_send '{"cmd":"state"}'
  next_event '"event":"state"'
  st=$(tail -n +"$start" "$D/program.out" | grep '"event":"state"' | tail -1)
  grep -q '"file":"[^"]*t440.mp3"' <<<"$st" || sr_fail "non è sull'ultimo file ($how): $st"
  grep -q '"playing":true' <<<"$st" || sr_fail "l'ultimo file non suona ($how): $st"
  tail -n +"$start" "$D/program.out" | grep -E '"video-(shown|hidden)"' | tail -1 | grep -q '"video-hidden"' ||
    sr_fail "la finestra del video è rimasta sullo schermo ($how)"
}

run "schermo intero"
# A corner video link makes the following videos play in the corner.
sr_send '{"cmd":"follow","href":"#clip.avi@NOFULL@"}'
sleep 3
run "nell'angolo"
alive "alla fine"
echo "finestra del video sopravvissuta"
