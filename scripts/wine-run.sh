#!/usr/bin/env bash
# Runs a Windows program under wine64 with a throw-away prefix of this build, and a virtual X
# display when there is none. The prefix is made once (its first start takes seconds) and reused.
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
# QL_WINEPREFIX chooses the prefix folder (default: build/wineprefix under the repository).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${QL_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# Debian keeps wine64 and wineserver outside PATH.
export PATH="$PATH:/usr/lib/wine"

with_display() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1024x768x24" "$@"; fi
}

if [ ! -f "$WINEPREFIX/.ql-ready" ]; then
  mkdir -p "$WINEPREFIX"
  with_display wine64 wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
  # Without a window manager, hiding a top-level window costs seconds unless Wine manages none.
  wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # A crash must end the program, not wait on an invisible dialog.
  wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w || true
  touch "$WINEPREFIX/.ql-ready"
fi

with_display wine64 "$@"
