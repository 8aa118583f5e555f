#!/usr/bin/env bash
# Checks the built package with lintian, installs it into /usr for real,
# checks the installed programs (hardening-check), MIME type, AppStream
# metadata and completion, and removes the package again.  Root only; a
# tavrel-converter package already installed on the machine is left alone.
#   install_test.sh PACKAGE.deb SAMPLES VERSION
set -u
deb=$1 samples=$2 version=$3
package=tavrel-converter
tavrel=application/x-tavrel-data

if [ "$(id -u)" -ne 0 ]; then
  echo "SALTATO: la prova del pacchetto lo installa in /usr e richiede root"
  exit 0
fi
# One such run at a time on this machine.
exec 9>"${TMPDIR:-/tmp}/$package-install-test.lock"
flock 9
installed() { dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; }
if installed; then
  echo "SALTATO: $package è già installato su questa macchina e resta com'è"
  exit 0
fi

source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
chmod 755 "$work"
finish() {
  installed && dpkg -r "$package" >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT
# dpkg, waiting while another installation (apt-get, another run) holds its lock.
dpkg_waiting() {
  local tries=0
  until dpkg "$@" >"$work/dpkg.log" 2>&1; do
    if ! grep -q 'lock' "$work/dpkg.log" || [ $((tries += 1)) -ge 60 ]; then
      cat "$work/dpkg.log"
      return 1
    fi
    sleep 2
  done
}
silent_ok() {  # silent_ok COMMAND...: succeeds, its words shown only on failure
  "$@" >"$work/out" 2>&1 || { cat "$work/out"; return 1; }
}
# The system's MIME database, as a fresh user session sees it.
type_of() {
  env -u XDG_DATA_HOME -u XDG_DATA_DIRS -u XDG_CURRENT_DESKTOP HOME="$work" \
    xdg-mime query filetype "$1"
}

# Debian's own checks of the package file: no error and no warning
# (informational and pedantic notes may stay).
lintian_clean() {
  lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 || { cat "$work/lintian"; return 1; }
}
check "lintian" lintian_clean

check "dpkg -i" dpkg_waiting -i "$deb"
check "installed" installed
dpkg -L "$package" >"$work/files"
for file in /usr/bin/tavconv /usr/bin/tavrel-converter /usr/share/applications/$package.desktop \
  /usr/share/mime/packages/$package.xml /usr/share/man/man1/{tavconv,$package}.1.gz \
  /usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/$package.png \
  /usr/share/doc/$package/{copyright,changelog.gz} /usr/share/bash-completion/completions/tavconv \
  /usr/share/metainfo/org.example.tavrel_converter.metainfo.xml; do
  check "$file in place" [ -f "$file" ]
done
# Both programs hardened; tavconv takes the system's C++ library, and with it
# its fixes.  Not the control-flow protection: Debian 12's own C start files
# lack its marks, so no program linked on it has them.  It reads what
# readelf and objdump print, which an Italian locale translates: in C.
for program in /usr/bin/tavconv /usr/bin/tavrel-converter; do
  check "hardening-check $program" silent_ok env LC_ALL=C LANGUAGE= hardening-check \
    --nocfprotection "$program"
done
check "tavconv links libstdc++ dynamically" bash -c 'ldd /usr/bin/tavconv | grep -q "libstdc++\.so"'
check "appstreamcli validate" \
  silent_ok appstreamcli validate --no-net /usr/share/metainfo/org.example.tavrel_converter.metainfo.xml
# bash-completion finds the completion by the command's name.
check "bash completes tavconv's options" bash -c '
  source /usr/share/bash-completion/bash_completion
  _completion_loader tavconv
  COMP_WORDS=(tavconv --for) COMP_CWORD=1 COMP_LINE="tavconv --for" COMP_POINT=13
  $(complete -p tavconv | sed "s/.*-F \([^ ]*\) .*/\1/") tavconv --for tavconv 2>/dev/null
  [ "${COMPREPLY[*]}" = --force ]'
check "tavconv --version" [ "$(/usr/bin/tavconv --version)" = "tavconv (Tavrel Converter) $version" ]
check "tavconv --help" bash -c '/usr/bin/tavconv --help | grep -q "^Uso: tavconv"'
check "update-mime-database" env PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database /usr/share/mime
cp "$samples/BOARD40.PCB" "$work/board"
check "xdg-mime names a 4.0 file's type" [ "$(type_of "$work/board")" = "$tavrel" ]

check "dpkg -r" dpkg_waiting -r "$package"
check "removed" bash -c "! dpkg-query -W -f='\${db:Status-Status}' $package 2>/dev/null | grep -qv not-installed"
left=0
while read -r path; do
  [ -d "$path" ] || [ ! -e "$path" ] || { echo "  left behind: $path"; left=1; }
done <"$work/files"
check "no file left behind" [ "$left" -eq 0 ]
# The MIME database was rebuilt by shared-mime-info's trigger on removal.
check "the type is gone with the package" [ "$(type_of "$work/board")" != "$tavrel" ]

report
