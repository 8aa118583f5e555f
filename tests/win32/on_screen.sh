#!/usr/bin/env bash
# Runs a command on a virtual X screen, with a Wine server started there:
# Wine's desktop process takes the display of the server's first window
# program, so a server started without a screen cannot show windows.  The
# server is ended again afterwards and a server without a screen started in
# its place, kept running with Wine's services as the test scripts start it:
# a server left to end by itself, 3 s after its last program, takes down a
# program that starts while it ends (no output, a status of 0 or 1).
#   [TAVREL_TEST_DPI=144] on_screen.sh [--unmanaged] COMMAND [ARGUMENTS...]
# TAVREL_TEST_DPI: the screen's DPI for this run (Wine's LogPixels).
# --unmanaged: Wine's windows are not left to a window manager (the screen
# has none), so a window closes at once instead of after Wine's 2 s wait for
# the manager; their X windows then hold the frames too.
set -uo pipefail
if [ -z "${TAVREL_ON_SCREEN:-}" ]; then
  exec env TAVREL_ON_SCREEN=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
settings=()  # registry key, value name, type, data: for this run only
if [ -n "${TAVREL_TEST_DPI:-}" ]; then
  settings+=('HKCU\Control Panel\Desktop' LogPixels REG_DWORD "$TAVREL_TEST_DPI")
fi
if [ "${1:-}" = --unmanaged ]; then
  shift
  settings+=('HKCU\Software\Wine\X11 Driver' Managed REG_SZ N)
fi
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
for ((i = 0; i < ${#settings[@]}; i += 4)); do
  wine reg add "${settings[i]}" /v "${settings[i + 1]}" /t "${settings[i + 2]}" \
    /d "${settings[i + 3]}" /f >/dev/null 2>&1
done
"$@"
status=$?
for ((i = 0; i < ${#settings[@]}; i += 4)); do
  wine reg delete "${settings[i]}" /v "${settings[i + 1]}" /f >/dev/null 2>&1
done
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
# (The server and its services live on with whatever output they were
# given: a file, not the test's.)
unset DISPLAY
log=$(mktemp)
wineserver -p >"$log" 2>&1
wine cmd /c exit >"$log" 2>&1
rm -f "$log"
exit $status
