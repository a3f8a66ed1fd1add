#!/usr/bin/env bash
# Installs the build dependencies from Debian's packages. Idempotent and quiet
# when everything is present. Options: --bench adds OpenCV (benchmark
# comparison only); --windows adds the MinGW-w64 cross compiler, wine and what
# unpacks the source packages that scripts/build-windows-deps.sh cross-builds.
set -euo pipefail

packages=(cmake g++ make pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev
          libx11-dev libxext-dev xvfb x11-apps
          ffmpeg imagemagick pngcheck libtiff-tools
          libgtk-3-dev libxtst-dev fonts-noto-cjk)
for arg in "$@"; do
  case "$arg" in
    --bench) packages+=(libopencv-dev) ;;
    --windows) packages+=(g++-mingw-w64-i686-posix mingw-w64-i686-dev wine wine32:i386 xvfb dpkg-dev) ;;
    *) echo "install-deps: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
