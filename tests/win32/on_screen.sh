#!/usr/bin/env bash
# Runs a command on a virtual X screen, with a Wine server started there:
# Wine's desktop process takes the display of the server's first window
# program, so a server started without a screen cannot show windows.  The
# server is ended again afterwards, for the tests that follow.
#   [TAVREL_TEST_DPI=144] on_screen.sh COMMAND [ARGUMENTS...]
set -uo pipefail
if [ -z "${TAVREL_ON_SCREEN:-}" ]; then
  exec env TAVREL_ON_SCREEN=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
# TAVREL_TEST_DPI: the screen's DPI for this run only (Wine's LogPixels).
desktop='HKCU\Control Panel\Desktop'
if [ -n "${TAVREL_TEST_DPI:-}" ]; then
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$TAVREL_TEST_DPI" /f >/dev/null 2>&1
fi
"$@"
status=$?
if [ -n "${TAVREL_TEST_DPI:-}" ]; then
  wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
fi
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
exit $status
