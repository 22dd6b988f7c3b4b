#!/usr/bin/env bash
# Installs the Debian packages the player needs (build and run), or, when not
# root, prints the one apt-get line to run. Usage: tools/deps.sh [--tests]
set -euo pipefail
pkgs=(cmake g++ make pkg-config qt6-base-dev qt6-webengine-dev qt6-webchannel-dev libqt6webenginecore6-bin
      libmpv-dev libsqlite3-dev libhivex-dev libxml2-dev libavformat-dev libzip-dev
      qt6-speech-dev qt6-speech-speechd-plugin speech-dispatcher qt6-translations-l10n
      # The player of other versions: Qt Multimedia, which plays through
      # GStreamer here; mp3 is in -good, the ASF container of wma and wmv in
      # -ugly, their decoders in -libav.
      qt6-multimedia-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
      gstreamer1.0-libav)
if [ "${1:-}" = "--tests" ]; then
  # sox, ffmpeg and espeak-ng make the test media; mingw-w64 and wine test the Windows registry code.
  pkgs+=(sox ffmpeg espeak-ng g++-mingw-w64-x86-64 wine wine64)
  # A real screen reader listened to: Orca under Xvfb, its speech written to a file.
  pkgs+=(xvfb xdotool dbus-x11 at-spi2-core orca)
  # The desktop entry and AppStream metadata validated; the Debian package made.
  pkgs+=(desktop-file-utils appstream dpkg-dev)
  # Universal Ctags reads the functions whose length a test checks.
  pkgs+=(universal-ctags)
fi
if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
  # Not a Debian system: the names of the packages above mean nothing here.
  cat <<'TESTO'
Questo sistema non usa i pacchetti Debian (mancano dpkg-query o apt-get):
le dipendenze vanno installate a mano, con il gestore di pacchetti del sistema.

Servono, per costruire il programma:
  - CMake 3.21 o più recente, un compilatore C++20 (g++ 10 o clang 10 e successivi), make, pkg-config
  - Qt 6 con i moduli Core, Gui, Widgets, WebEngineWidgets, WebChannel, Test,
    TextToSpeech e Multimedia (DBus facoltativo)
  - le librerie trovate con pkg-config: mpv (libmpv), sqlite3, libxml-2.0 (libxml2), libzip,
    libavformat e libavutil (FFmpeg)
  - hivex (pkg-config hivex) è facoltativa: senza, il programma non importa
    i file hive del registro; per escluderla apposta: -DQYR_WITH_HIVEX=OFF
Servono, per usarlo:
  - il processo delle pagine di Qt WebEngine (QtWebEngineProcess)
  - il plugin di sintesi vocale speech-dispatcher di Qt TextToSpeech e speech-dispatcher
  - GStreamer con i plugin base, good, ugly e libav (mp3, wma, wmv)
Per i test, inoltre: sox, ffmpeg, espeak-ng, Xvfb, xdotool, dbus, at-spi2-core,
Orca, desktop-file-validate, appstreamcli; mingw-w64 e Wine per il codice del
registro di Windows (quei test si saltano se mancano).

Poi, nella cartella dei sorgenti:
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  cmake --build build -j2
  cmake --install build            (come amministratore, o con --prefix CARTELLA)
TESTO
  exit 1
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Mancano dei pacchetti. Eseguire come amministratore:"
  echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
