#!/usr/bin/env bash
# Installs, idempotently, every Debian package that building, testing and
# running Folvan needs, then the npm packages of the local web pages.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev-tools libqt6svg6 qt6-svg-dev
  qt6-webengine-dev qt6-webengine-dev-tools qt6-webchannel-dev
  qt6-multimedia-dev libqt6multimedia6 qt6-qpa-plugins qt6-image-formats-plugins
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libmupdf-dev mupdf-tools liblcms2-dev libgs-common libharfbuzz-dev libfreetype-dev libjbig2dec0-dev
  libjpeg-dev libopenjp2-7-dev zlib1g-dev libgumbo-dev libmujs-dev
  nlohmann-json3-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth x11-utils imagemagick fonts-noto-cjk fonts-dejavu-core
  libgl1-mesa-dev libxkbcommon-dev dbus-x11
  clang libclang-rt-14-dev qt6-translations-l10n
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
