#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing need on Debian 12. Quick when all is
# there: apt is asked only for packages that are missing.
#
#   bash scripts/setup.sh [--desktop | --accessibility | --dialog-focus]
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  lame            # the encoder the program drives, and the tests run for real
  fp-utils        # chmcmd compiles the help file
  libchm-bin      # the tests read the compiled help file back
  fonts-dejavu-core fonts-liberation
  xvfb xauth      # the screenshot script shows the real window off screen
  util-linux      # setpriv: tests run the settings start-up as an unprivileged user
  acl             # setfacl, getfacl: the tests give the settings file an access control list
  strace          # the tests watch a settings write's system calls, and pause or kill it at one
  e2fsprogs       # mkfs.ext2: a small full disk that reserves no room ahead, for a settings write
  dpkg-dev        # dpkg-shlibdeps finds the package's library dependencies
  desktop-file-utils appstream  # the tests validate the desktop entry and the metainfo
  lintian devscripts  # the tests check the package (lintian) and its hardening (hardening-check)
  libxml2-utils   # xmllint: the tests read the scalable icon
  clang-format    # the tests check the sources' layout
  dbus-daemon     # the tests run a private session bus for the taskbar entry and the notifications
  adwaita-qt6     # a desktop style whose frames are thicker: the tests run the windows under it
  libsndfile1-dev # the batch reads sources with the library the encoder reads them with
  libtag1-dev     # the batch writes the WAV files' tags into the MP3 files; the tests read them back
  sox             # the tests write sound files in the layouts other programs write
)

# Starting the program also wants what opens its help file from F1: the desktop's
# file opener and a viewer for compiled HTML help. The tests do not need them.
if [ "${1:-}" = "--desktop" ]; then
  packages+=(xdg-utils xchm)
fi

# What scripts/atspi-dump.sh uses to read the windows as a screen reader does,
# and scripts/orca-speech.sh to hear the screen reader itself: Orca (its speech
# dispatcher comes along but is never started), the desktop setting that turns
# it on, a window manager for the keyboard focus, and keys typed as a user's.
if [ "${1:-}" = "--accessibility" ]; then
  packages+=(dbus at-spi2-core python3-pyatspi
             orca gsettings-desktop-schemas libglib2.0-bin dconf-gsettings-backend openbox xdotool)
fi

# What scripts/dialog-focus.sh checks the dialogs' focus with: a real window
# manager, and a hand on the keys and the mouse.
if [ "${1:-}" = "--dialog-focus" ]; then
  packages+=(openbox xdotool)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
