#!/usr/bin/env bash
# Runs a command on a virtual X screen, with a Wine server started there:
# Wine's desktop process takes the display of the server's first window
# program, so a server started without a screen cannot show windows.  The
# server is ended again afterwards, for the tests that follow.
#   on_screen.sh COMMAND [ARGUMENTS...]
set -uo pipefail
if [ -z "${TAVREL_ON_SCREEN:-}" ]; then
  exec env TAVREL_ON_SCREEN=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
"$@"
status=$?
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
exit $status
