#!/usr/bin/env bash
# Runs a Windows program under Wine with a throw-away prefix of this build, and a virtual X
# display when there is none. The prefix is made whole once (its first start takes seconds) and
# reused.
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#   scripts/wine-run.sh --prepare      makes the prefix and returns (nothing else is started)
# QL_WINEPREFIX chooses the prefix folder (default: build/wineprefix under the repository).
# QL_WINEARCH=win32 makes and uses a 32-bit prefix for i686 programs (run with `wine`); the default,
# win64, runs x86_64 programs with `wine64`. A 32-bit prefix needs a folder of its own.
# QL_WINVER (win2k, win98, winxp, win10, ...) sets the Windows version the prefix reports.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${QL_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# Debian keeps wine64 and wineserver outside PATH.
export PATH="$PATH:/usr/lib/wine"
arch=${QL_WINEARCH:-win64}
case "$arch" in
  win64) wine=wine64 ;;
  win32) wine=wine; export WINEARCH=win32 ;;
  *) echo "wine-run.sh: QL_WINEARCH is win64 or win32, not $arch" >&2; exit 2 ;;
esac

with_display() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1024x768x24" "$@"; fi
}

# A prefix is made for one processor: the other one's programs cannot run in it.
if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$arch" "$WINEPREFIX/system.reg"; then
  echo "wine-run.sh: $WINEPREFIX is not a $arch prefix; give QL_WINEPREFIX a folder of its own" >&2
  exit 2
fi
if [ ! -f "$WINEPREFIX/.ql-ready" ]; then
  if [ -f "$WINEPREFIX/system.reg" ] && [ "$arch" = win32 ] &&
     ! grep -q '^#arch=win32' "$WINEPREFIX/system.reg"; then
    echo "wine-run.sh: $WINEPREFIX is not a 32-bit prefix; give QL_WINEPREFIX a folder of its own" >&2
    exit 2
  fi
  mkdir -p "$WINEPREFIX"
  # The whole prefix is made before any program starts: a program started while Wine still
  # updates it would share the screen with Wine's "please wait" box.
  with_display "$wine" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
  # Without a window manager, hiding a top-level window costs seconds unless Wine manages none.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # A crash must end the program, not wait on an invisible dialog.
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w || true
  touch "$WINEPREFIX/.ql-ready"
fi

if [ -n "${QL_WINVER:-}" ] && [ "$(cat "$WINEPREFIX/.ql-winver" 2>/dev/null)" != "$QL_WINVER" ]; then
  "$wine" winecfg -v "$QL_WINVER" >/dev/null 2>&1
  wineserver -w || true
  echo "$QL_WINVER" > "$WINEPREFIX/.ql-winver"
fi

[ "${1:-}" = --prepare ] && exit 0
with_display "$wine" "$@"
