#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test Kelvane.
# Does nothing when everything is already there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for p in cmake g++ make libgtest-dev g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 wine wine32 xvfb xauth \
         libxrandr2:i386 x11-xserver-utils x11-utils imagemagick fonts-wine pci.ids zip python3 locales \
         fp-utils libchm-bin gcab clang libclang-rt-14-dev edid-decode; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${need[*]}"
# A mirror caught mid-sync fails one index; the lists that did come are
# enough for these packages, so a second failure is not fatal here: the
# install below says what it cannot find.
$SUDO apt-get update -q || { sleep 5; $SUDO apt-get update -q; } || echo "setup: some package lists could not be updated; going on with those there are"
# When the list that failed was one architecture's security list, the
# 32-bit libraries Wine needs must match 64-bit ones that list alone holds;
# taking both from the release's own lists makes them match again.
$SUDO apt-get install -y -q --no-install-recommends "${need[@]}" || {
  echo "setup: installing again from the release's own package lists"
  $SUDO apt-get install -y -q --no-install-recommends -t bookworm "${need[@]}"
}
