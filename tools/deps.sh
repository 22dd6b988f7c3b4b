#!/usr/bin/env bash
# Installs the Debian packages the player needs (build and run), or, when not
# root, prints the one apt-get line to run. Usage: tools/deps.sh [--tests]
set -euo pipefail
pkgs=(cmake g++ make pkg-config qt6-base-dev qt6-webengine-dev qt6-webchannel-dev libqt6webenginecore6-bin
      libmpv-dev libsqlite3-dev libhivex-dev
      qt6-speech-dev qt6-speech-speechd-plugin speech-dispatcher
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
