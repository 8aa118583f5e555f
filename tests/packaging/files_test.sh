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
silent_ok() {  # silent_ok COMMAND...: succeeds, its words shown only on failure
  "$@" >"$work/out" 2>&1 || { cat "$work/out"; return 1; }
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

# The window's manual page.
window_page=$build_dir/tavrel-converter.1.gz
check "window's manual renders without warnings" quiet_render "$window_page"
MANWIDTH=80 man -l "$window_page" 2>/dev/null >"$work/window_page"
check "window's manual in Italian" grep -q '^SINTESI' "$work/window_page"
check "window's manual names the version" grep -q "Tavrel Converter $version" "$work/window_page"

# The software centres' metadata, and the package's description (a line
# starting with a full stop is a control line there).
metainfo=$build_dir/org.example.tavrel_converter.metainfo.xml
check "appstreamcli validate" silent_ok appstreamcli validate --no-net "$metainfo"
check "metainfo names the menu entry" grep -q '>tavrel-converter.desktop</launchable>' "$metainfo"
check "metainfo names the MIME type" grep -q "<mediatype>$(key MimeType | tr -d ';')</mediatype>" "$metainfo"
check "metainfo names the version" grep -q "<release version=\"$version\"" "$metainfo"
check "description without control lines" lacks -e '^\.' "$source_dir/description.txt"

# tavconv's bash completion, as bash-completion loads it: the line typed, and
# what its last word completes to.
completion=$(realpath "$source_dir/tavconv.bash-completion")
mkdir -p "$work/drawings/SUB"
touch "$work/drawings/BOARD.PCB" "$work/drawings/BASE.SCH" "$work/drawings/-dash.pcb"
complete_line() {  # complete_line LINE: the completions, one a line, sorted
  # The words as bash splits them: at blanks, and "=" a word of its own.
  local spaced=${1//=/ = } words
  read -r -a words <<<"$spaced"
  [[ $1 == *[\ =] ]] && words+=("")
  (cd "$work/drawings" && bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_LINE=$2 COMP_POINT=${#2}
    shift 2
    COMP_WORDBREAKS=$'"'"' \t\n"\x27><=;|&(:'"'"'
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1))
    _tavconv tavconv "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$1" "${words[@]}" | sort)
}
completes() {  # completes LINE EXPECTED...: exactly these completions
  local line=$1; shift
  [ "$(complete_line "$line")" = "$(printf '%s\n' "$@" | sort)" ] ||
    { echo "  $line: $(complete_line "$line" | tr '\n' ' ')"; return 1; }
}
check "completion: -j takes 1 to 8" completes "tavconv -j " 1 2 3 4 5 6 7 8
check "completion: --jobs= takes 1 to 8" completes "tavconv --jobs=" 1 2 3 4 5 6 7 8
check "completion: --jobs=N" completes "tavconv --jobs=3" 3
check "completion: --report= takes json" completes "tavconv --report=" json
check "completion: long options" completes "tavconv --re" --recursive --report --report=
check "completion: files and folders" completes "tavconv -f B" BASE.SCH BOARD.PCB
check "completion: folders" completes "tavconv S" SUB
check "completion: after -- a dash is a file" completes "tavconv -- -" -dash.pcb
complete_line "tavconv -" >"$work/offered"
while read -r option; do
  check "completion offers $option" grep -qx -e "$option" "$work/offered"
done <"$work/options"

report
