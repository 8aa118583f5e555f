#!/usr/bin/env bash
# Checks the files the package installs, with Debian's own tools, without
# installing anything: files_test.sh PACKAGING_SOURCE PACKAGING_BUILD TAVCONV SAMPLES VERSION
set -u
source_dir=$1 build_dir=$2 tavconv=$3 samples=$4 version=$5
desktop=$source_dir/tavrel-converter.desktop
mime=$source_dir/tavrel-converter.xml
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

silent() {  # silent COMMAND...: succeeds and says nothing at all
  "$@" >"$work/out" 2>&1 && [ ! -s "$work/out" ] || { cat "$work/out"; return 1; }
}
key() { sed -n "s/^$1=//p" "$desktop"; }

# The menu entry.
check "desktop-file-validate" silent desktop-file-validate "$desktop"
check "file managers pass the file" grep -qx 'Exec=tavrel-converter %f' "$desktop"
check "the entry's type is the MIME file's" \
  grep -q "<mime-type type=\"$(key MimeType | tr -d ';')\">" "$mime"
for size in 16 32 48 256; do
  png=$build_dir/icons/${size}x$size/apps/$(key Icon).png
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  check "icon of $size pixels" \
    [ "$(od -An -tx1 -j16 -N8 "$png" 2>/dev/null | tr -d ' \n')" = "$(printf '%08x%08x' "$size" "$size")" ]
done

# The MIME type, in a database of its own beside the system's definitions
# (without syncing to disk, which only costs time here).
check "xmllint" silent xmllint --noout "$mime"
mkdir -p "$work/share/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$mime" "$work/share/mime/packages/"
export XDG_DATA_HOME=$work/share XDG_DATA_DIRS=$work/share
check "update-mime-database" silent env PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database "$work/share/mime"
tavrel=application/x-tavrel-data
files=() expected=()
expect() { files+=("$1") expected+=("$2"); }
for sample in BOARD40.PCB SCHEMA40.SCH SAMPLE36.PCB GIA35.SCH; do
  expect "$samples/$sample" $tavrel
  # Without its extension the content alone decides.
  cp "$samples/$sample" "$work/nameless-$sample"
  expect "$work/nameless-$sample" $tavrel
done
printf '  TAVREL Version 3.8 -- DATA FILE\r\nA\r\n' >"$work/blanks.txt"
expect "$work/blanks.txt" $tavrel  # the header after blanks wins over the .txt glob
cp "$samples/NOTE.TXT" "$work/note"
expect "$work/note" text/plain
printf 'TAVREL Version 4.0 -- Data File\r\n' >"$work/almost"
expect "$work/almost" text/plain  # a header the program does not know
# One run of what xdg-mime asks on a desktop without its own tool.
mapfile -t found < <(mimetype --brief --dereference "${files[@]}")
for i in "${!files[@]}"; do
  check "type of ${files[i]##*/}" [ "${found[i]:-}" = "${expected[i]}" ]
done

# The manual page.
page=$build_dir/tavconv.1.gz
quiet_render() {  # renders without a word on the error output
  MANWIDTH=80 man --warnings -l "$1" 2>"$work/warnings" >/dev/null && [ ! -s "$work/warnings" ] ||
    { cat "$work/warnings"; return 1; }
}
check "man renders without warnings" quiet_render "$page"
MANWIDTH=80 man -l "$page" 2>/dev/null >"$work/page"
check "manual in Italian" grep -q '^STATO DI USCITA' "$work/page"
check "manual names the version" grep -q "Tavrel Converter $version" "$work/page"
# Every option of --help is in the manual.
"$tavconv" --help | sed -n 's/^  \(-[-a-z]*\).*/\1/p' >"$work/options"
check "--help lists options" [ -s "$work/options" ]
while read -r option; do
  check "manual documents $option" grep -q -E -e "^ *$option([ ,]|\$)" "$work/page"
done <"$work/options"

check "tavconv --version" [ "$("$tavconv" --version)" = "tavconv (Tavrel Converter) $version" ]

report
