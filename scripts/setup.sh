#!/usr/bin/env bash
# Installs, idempotently, the Debian packages that building, testing and
# running Folvan (and its bench programs) need, and nothing else, then the npm
# packages of the local web pages.
set -euo pipefail

PACKAGES=(
  # the build (cmake/, src/*/CMakeLists.txt) and the engine's MuPDF, linked
  # statically with its own libraries (src/engine/CMakeLists.txt)
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-webengine-dev qt6-webengine-dev-tools
  qt6-webchannel-dev qt6-multimedia-dev nlohmann-json3-dev
  libmupdf-dev libharfbuzz-dev libfreetype-dev libjbig2dec0-dev libjpeg-dev libopenjp2-7-dev
  zlib1g-dev libgumbo-dev libmujs-dev liblcms2-dev
  # the web pages' install step (web/reflow/tools/parser.mjs)
  patch
  # the tests (a private session bus for the desktop tests),
  # `make test-sanitize` (its fuzz target is built with clang), and
  # `make check-clang` (scripts/check-clang.py)
  libgtest-dev libgmock-dev dbus-daemon clang libclang-rt-14-dev python3
  # the reader at run time: the X11 platform plugin, SVG icons, TIFF and WebP
  # images, the radio's streams, the CMYK colour profile, the Chinese and
  # tabular-digit faces, Qt's own Chinese texts
  qt6-qpa-plugins libqt6svg6 qt6-image-formats-plugins libqt6multimedia6
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good libgs-common
  fonts-noto-cjk fonts-dejavu-core qt6-translations-l10n
  # the bench programs: MuPDF's own tool to compare with, the X server of
  # first-paper-bench
  mupdf-tools xvfb xauth
)
# Node.js with npm: the machine's own when present, Debian's otherwise.
if ! command -v npm >/dev/null 2>&1; then PACKAGES+=(nodejs npm); fi

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# npm packages of the local web pages, from their lockfiles. `npm ci` runs
# again only when the page's package.json or lock file changed since the last
# install (their hash is kept in node_modules); otherwise only the page's own
# install step runs, which rewrites nothing that is already as it should be.
# Either way the build finds nothing new and redoes nothing.
here="$(cd "$(dirname "$0")/.." && pwd)"
for dir in "$here"/web/*/; do
  [ -f "$dir/package-lock.json" ] || continue
  stamp="$dir/node_modules/.folvan-lock-hash"
  lock="$(cd "$dir" && sha256sum package.json package-lock.json | sha256sum | cut -d' ' -f1)"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$lock" ]; then
    (cd "$dir" && npm run --if-present --silent postinstall)
  else
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
    echo "$lock" > "$stamp"
  fi
done
