#!/usr/bin/env bash
# Cross-builds the image libraries of the still-image savers (zlib, libpng,
# libjpeg-turbo, libtiff) as static 32-bit Windows libraries from Debian's own
# source packages, so the DLL links the same code as the Linux build.
# Installs into build/mingw-deps (or $1); does nothing when that is complete.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(realpath -m "${1:-build/mingw-deps}")
[[ -f "$prefix/.complete" ]] && exit 0

host=i686-w64-mingw32
toolchain=$PWD/cmake/toolchain-i686-mingw.cmake
jobs=$(nproc)
work=$(mktemp -d "${TMPDIR:-/tmp}/zirvo-windeps.XXXXXX")
trap 'rm -rf "$work"' EXIT

# apt's own lists stay untouched: a private list of Debian's source indexes.
sources=/etc/apt/sources.list.d/debian.sources
mkdir -p "$work/parts" "$work/lists/partial"
if [[ -f $sources ]]; then
  sed 's/^Types: deb$/Types: deb-src/' "$sources" > "$work/parts/debian-src.sources"
else
  grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$work/parts/debian-src.list"
fi
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/parts"
             -o "Dir::State::Lists=$work/lists" -o APT::Sandbox::User=root -qq)
echo "build-windows-deps: fetching source packages"
apt-get "${apt_options[@]}" update
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
mkdir -p "$work/src"
(cd "$work/src" && apt-get "${apt_options[@]}" source --download-only \
   "zlib/$codename" "libpng1.6/$codename" "libjpeg-turbo/$codename" "tiff/$codename" >/dev/null)
for dsc in "$work"/src/*.dsc; do
  (cd "$work/src" && dpkg-source -q --no-check -x "$dsc" >/dev/null)
done
source_of() { find "$work/src" -maxdepth 1 -type d -name "$1-*" | head -n 1; }

rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"
export CFLAGS="-O2 -msse2 -mfpmath=sse"

echo "build-windows-deps: zlib"
# Debian's zlib source leaves out the Windows makefiles: the library is the
# C files at its top.
(cd "$(source_of zlib)" && mkdir -p build-w32 && cd build-w32 &&
   for c in ../*.c; do $host-gcc $CFLAGS -c "$c"; done &&
   $host-ar rcs libz.a ./*.o &&
   cp ../zlib.h ../zconf.h "$prefix/include/" && cp libz.a "$prefix/lib/")

cmake_static() {  # cmake_static <source> <options...>
  local source=$1; shift
  cmake -S "$source" -B "$source/build-w32" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_C_FLAGS="$CFLAGS" "$@" >/dev/null
  cmake --build "$source/build-w32" -j "$jobs" >/dev/null
  cmake --install "$source/build-w32" >/dev/null
}

echo "build-windows-deps: libpng"
cmake_static "$(source_of libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"

echo "build-windows-deps: libjpeg-turbo"
cmake_static "$(source_of libjpeg-turbo)" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
  -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF

echo "build-windows-deps: libtiff"
cmake_static "$(source_of tiff)" -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF \
  -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
  -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Dold-jpeg=OFF \
  -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" \
  -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a"

touch "$prefix/.complete"
echo "build-windows-deps: installed in $prefix"
