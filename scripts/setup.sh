#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages only.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  # The shipping launcher's compiler: the win32 thread model (cmake/toolchain-mingw.cmake).
  g++-mingw-w64-i686-win32
  zlib1g-dev libutfcpp-dev nlohmann-json3-dev googletest
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick icoutils
  # Wine's own fonts: without them the title bars' buttons show letters.
  fonts-wine
  # Signing tests: a self-signed certificate and Authenticode signatures.
  osslsigncode openssl
  # OpenSSL's libcrypto: launcher-tool show checks a build's signature against it.
  libssl-dev
  python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
