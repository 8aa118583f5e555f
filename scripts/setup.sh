# Sourced by ./run and ./test: installs what is missing on Debian 12 and
# configures and builds the project in build/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
packages=(cmake ninja-build g++ make libgtest-dev libbenchmark-dev qt6-base-dev
          qt6-translations-l10n locales xvfb xauth fonts-dejavu-core clang libclang-rt-14-dev
          dpkg-dev desktop-file-utils libxml2-utils shared-mime-info xdg-utils
          libfile-mimeinfo-perl man-db nlohmann-json3-dev bash-completion lintian devscripts
          appstream)

# The Windows build: mingw-w64 (the -posix compilers), Wine to run its
# programs, GoogleTest's sources, xdotool and xwininfo to drive and measure
# its window, zip for the release, wixl (with msitools) for the installer and
# icoutils to list the programs' resources.  Installed by the stages that need
# them.
windows_packages=(g++-mingw-w64-x86-64-posix mingw-w64 wine wine64 googletest xdotool x11-utils
                  zip wixl msitools icoutils)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {  # install_missing [MORE PACKAGES...]
  local missing=()
  for p in "${packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== Installo: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  # The tests also run under an Italian locale.
  if ! locale -a 2>/dev/null | grep -qi '^it_IT\.utf-\?8$'; then
    echo "== Genero la localizzazione it_IT.UTF-8"
    as_root sed -i -E 's/^# *(it_IT\.UTF-8 UTF-8|en_US\.UTF-8 UTF-8)$/\1/' /etc/locale.gen
    grep -q '^it_IT.UTF-8 UTF-8' /etc/locale.gen || echo 'it_IT.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
}

build() {  # build DIR [CMAKE OPTIONS...]
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j2
}

build_windows() {  # build_windows DIR [CMAKE OPTIONS...]: the engine, tavconv and the window for Windows
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DTAVREL_BUILD_UI=OFF "$@" >/dev/null
  cmake --build "$dir" -j2
}

# The sanitizer build: clang, ASan and UBSan, the fuzz targets too, no window.
# Optimised as the other builds; its debugging information is the line
# tables alone, all the sanitizers' reports need to name function, file and
# line (full information would take longer to compile than anything else).
sanitized_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVREL_SANITIZE=ON -DTAVREL_FUZZ=ON
                   -DTAVREL_BUILD_UI=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -gline-tables-only -DNDEBUG")

build_sanitized() {  # build_sanitized DIR [CMAKE OPTIONS...]: the sanitizer build
  local dir=$1; shift
  CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja "${sanitized_options[@]}" "$@" >/dev/null
  cmake --build "$dir" -j2
}

wine_prefix() {  # wine_prefix DIR: a private Wine in DIR, its server kept running
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >"$WINEPREFIX.log" 2>&1
    wineserver -w  # until the new prefix is written
  fi
  wineserver -p
  # Wine's own services start with the first program and live on: start them
  # here, or they would hold the output of the first test open.
  wine cmd /c exit >>"$WINEPREFIX.log" 2>&1
}
