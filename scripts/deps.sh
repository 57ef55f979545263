#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
# Safe to run again. Sourced or run: scripts/deps.sh [extra packages...]
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format   # native builds and sanitizers
  googletest libgtest-dev                                       # native and cross-built tests
  mingw-w64                                                     # the Windows program, built with
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32           # the Win32 thread model
  wine wine64 xvfb xauth                                        # running it on Linux
  wine32:i386                                                   # the i686 program, 32-bit Wine
  imagemagick                                                   # screenshots
  python3
  zip unzip                                                     # the release (scripts/package.sh)
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  # 32-bit Wine comes from Debian's i386 packages: the architecture is added once.
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq \
    "${missing[@]}" >/dev/null
fi
