#!/usr/bin/env bash
# The Windows installer under Wine: builds it from the cross-built programs,
# installs an older version and then this one over it (an upgrade in place),
# checks the files, Start menu entries, "Apri con" registration and
# uninstall entry, uninstalls it and checks that nothing is left.  Also the
# programs' own resources (version information and manifest).  Runs in the
# Wine prefix of WINEPREFIX, whose server the caller keeps running.
#   msi_test.sh TAVREL-CONVERTER.EXE TAVCONV.EXE ICON.ico VERSION
set -u
window=$1 tavconv=$2 icon=$3 version=$4
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
make_msi=$(dirname "${BASH_SOURCE[0]}")/../../packaging/windows/make-msi
# Wine's tools print in the locale's language ("(Predefinito)" for a key's
# default value in Italian): the checks read them in C.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# No menu entries or file types for the Linux desktop from the Windows ones.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"

# The resources a Windows user sees in the file's properties, and the
# manifest with long paths and the UTF-8 code page.
for exe in "$window" "$tavconv"; do
  wrestool -l "$exe" >"$work/resources" 2>&1
  check "${exe##*/}: version information" grep -q -- '--type=16 ' "$work/resources"
  check "${exe##*/}: manifest" grep -q -- '--type=24 ' "$work/resources"
  check "${exe##*/}: icon" grep -q -- '--type=14 ' "$work/resources"
done
wrestool -x --raw --type=24 "$tavconv" >"$work/manifest" 2>/dev/null
check "tavconv.exe: long paths" grep -q '<longPathAware[^>]*>true<' "$work/manifest"
check "tavconv.exe: UTF-8 code page" grep -q '<activeCodePage[^>]*>UTF-8<' "$work/manifest"
wrestool -x --raw --type=16 "$tavconv" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\0\n' >"$work/version"
check "tavconv.exe: version $version" grep -qa "ProductVersion$version" "$work/version"
check "tavconv.exe: version information in Italian" grep -qa "StringFileInfo.*041004B0" "$work/version"
# Each size of the program's icon, the largest a PNG image.
icotool -l "$icon" >"$work/sizes"
for size in 16 24 32 48 64 256; do
  check "icon of $size pixels" grep -q -- "--width=$size --height=$size" "$work/sizes"
done
# The last image of the directory: its offset is the entry's last 4 bytes.
png_at=$(od -An -tu4 -j$((6 + 16 * 5 + 12)) -N4 "$icon" | tr -d ' ')
check "the 256-pixel icon is a PNG" \
  [ "$(od -An -c -j"${png_at:-0}" -N4 "$icon" | tr -d ' ')" = '211PNG' ]

check "wixl builds the installer" "$make_msi" "$window" "$tavconv" "$icon" "$version" "$work/new.msi"
check "wixl builds an older installer" "$make_msi" "$window" "$tavconv" "$icon" 1.0 "$work/old.msi"

winpath() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
folder=$(winepath -u "$(winpath LOCALAPPDATA)\\Programs\\Tavrel Converter" 2>/dev/null)
menu=$(winepath -u "$(winpath APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs" 2>/dev/null)
check "the user's program folder" [ -n "$folder" ]
check "the user's Start menu" [ -n "$menu" ]
msiexec() {  # msiexec ARGUMENTS...: quiet, its status checked
  wine msiexec "$@" /qn >"$work/msiexec.log" 2>&1 || { cat "$work/msiexec.log"; return 1; }
}
reg_value() {  # reg_value KEY NAME: the value's data, or nothing
  wine reg query "$1" ${2:+/v "$2"} 2>/dev/null | tr -d '\r' | sed -n "s/^ *${2:-(Default)} *REG_[A-Z_]* *//p" | head -1
}
keys_named() {  # keys_named KEY NAME-VALUE: the keys below KEY whose NAME-VALUE is Tavrel Converter
  wine reg query "$1" /s 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '/^HKEY/ { key = $0 } $1 == name && /REG_SZ +Tavrel Converter$/ { print key }'
}
uninstall_entries() {  # the uninstall entries of Tavrel Converter, per user and per machine
  for root in HKCU HKLM; do
    keys_named "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" DisplayName
  done
}
# The uninstall entry's icon: the product's icon, which Windows Installer
# keeps in the user's profile and names in the product's registration.
product_icon() {
  local product
  product=$(keys_named 'HKCU\Software\Microsoft\Installer\Products' ProductName | head -1)
  [ -n "$product" ] && winepath -u "$(reg_value "$product" ProductIcon)" 2>/dev/null
}

check "msiexec /i older version" msiexec /i "$work/old.msi"
check "older version installed" [ "$(uninstall_entries | wc -l)" -eq 1 ]
check "msiexec /i this version over it" msiexec /i "$work/new.msi"
mapfile -t entries < <(uninstall_entries)
check "one uninstall entry after the upgrade" [ "${#entries[@]}" -eq 1 ]
check "uninstall entry: version $version" [ "$(reg_value "${entries[0]:-none}" DisplayVersion)" = "$version" ]
check "an older version over it is refused" bash -c "! wine msiexec /i '$work/old.msi' /qn >/dev/null 2>&1"
check "still one uninstall entry" [ "$(uninstall_entries)" = "${entries[0]:-none}" ]
icon_copy=$(product_icon)
check "uninstall entry: the program's icon" cmp -s "$icon" "${icon_copy:-none}"
for file in tavrel-converter.exe tavconv.exe LEGGIMI.txt LICENSE.txt; do
  check "$file installed" [ -f "$folder/$file" ]
done
check "installed tavconv.exe is this one" cmp -s "$tavconv" "$folder/tavconv.exe"
check "installed tavconv.exe runs" \
  [ "$(wine "$folder/tavconv.exe" --version 2>/dev/null | tr -d '\r')" = "tavconv (Tavrel Converter) $version" ]
check "Start menu: Tavrel Converter" [ -f "$menu/Tavrel Converter.lnk" ]
check "Start menu: Apri prompt di tavconv" [ -f "$menu/Apri prompt di tavconv.lnk" ]
check "the prompt's PATH has the program's folder first" bash -c "strings -el '$menu/Apri prompt di tavconv.lnk' |
  grep -qF '/k set \"PATH=$(winpath LOCALAPPDATA)\\Programs\\Tavrel Converter\\;%PATH%\"'"
classes='HKCU\Software\Classes'
for extension in .sch .pcb; do
  check "Apri con $extension" \
    bash -c "wine reg query '$classes\\$extension\\OpenWithProgids' /v TavrelConverter.File >/dev/null 2>&1"
  check "$extension: the default program is left alone" \
    [ -z "$(reg_value "$classes\\$extension")" ]
done
check "the program opens the file" \
  [ "$(reg_value "$classes\\TavrelConverter.File\\shell\\open\\command")" = "\"$(winpath LOCALAPPDATA)\\Programs\\Tavrel Converter\\tavrel-converter.exe\" \"%1\"" ]

check "msiexec /x" msiexec /x "$work/new.msi"
check "no uninstall entry left" [ -z "$(uninstall_entries)" ]
check "no program folder left" [ ! -e "$folder" ]
check "no icon copy left" [ ! -e "${icon_copy:-none}" ]
check "no Start menu entry left" bash -c "! ls '$menu' | grep -q 'Tavrel\\|tavconv'"
for key in "$classes\\TavrelConverter.File" 'HKCU\Software\Tavrel Converter'; do
  check "$key removed" bash -c "! wine reg query '$key' >/dev/null 2>&1"
done
for extension in .sch .pcb; do
  check "Apri con $extension removed" \
    bash -c "! wine reg query '$classes\\$extension\\OpenWithProgids' /v TavrelConverter.File >/dev/null 2>&1"
done

report
