#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Logwarden need.
# Only missing packages are installed; running it twice does nothing the second time.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlitecpp-dev libsqlite3-dev libcurl4-openssl-dev zlib1g-dev libasound2-dev
  qtkeychain-qt6-dev
  libpq-dev  # the shared club log (PostgreSQL's client library)
  libhamlib-dev  # the rig: frequency, mode and PTT from the radio
  qt6-charts-dev libqt6opengl6-dev qt6-svg-dev  # the net statistics' chart (Charts needs OpenGL) and its SVG export
  # run (offscreen and xcb platform plugins, a font, a virtual display for headless machines)
  qt6-qpa-plugins libqt6gui6 fonts-dejavu-core xvfb xauth
  ca-certificates  # https to the club's server
  # tests and benchmarks
  python3 python3-pyftpdlib zip unzip sqlite3 time
  alsa-utils
  python3-aiosmtpd openssl curl
  postgresql-15  # a real server for the shared log's tests and benchmarks (started by the tests themselves)
  libhamlib-utils  # rigctld and rigctl: Hamlib's dummy radio served to the rig's tests
  # fuzzing and sanitizer runtimes
  clang libclang-rt-14-dev
  clang-format  # the layout check of the sources (scripts/check-format.sh)
  # installing and packaging: manual pages, validators of the desktop files, the Debian package and lintian
  man-db groff-base desktop-file-utils appstream dpkg-dev file lintian
  # redrawing the icon and the screenshots (scripts/make-icons.sh, scripts/take-screenshots.sh)
  librsvg2-bin xdotool openbox imagemagick
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Logwarden needs these Debian packages: ${missing[*]}" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! apt-get install -y --no-install-recommends "${missing[@]}"; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
