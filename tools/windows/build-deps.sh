#!/usr/bin/env bash
# Builds the libraries the Windows build needs and Debian does not ship for
# MinGW, from Debian's own source packages, into a cache folder outside the
# checkout:
#
#   tools/windows/build-deps.sh TARGET      TARGET: x86_64 | i686
#
# The folder is ${VELMORA_DEPS_CACHE:-$HOME/.cache/velmora-deps}/TARGET-KEY,
# KEY a hash of the package versions, the compiler, the toolchain file and this
# script; a complete folder is reused as it is. The last line printed is the
# folder's path. Each dependency keeps its log in the folder's logs/.
#
# Built: expat, libpng, minizip, libcurl (Schannel, HTTP only), libsodium, wxWidgets 3.2
# for MSW (static, monolithic) and googletest. zlib comes from
# libz-mingw-w64-dev; nlohmann/json and easylogging++ from their Debian
# packages through include/header-only/, a folder of links to their headers.
set -euo pipefail

target=${1:-}
case "$target" in
  x86_64 | i686) ;;
  *)
    echo "usage: $0 x86_64|i686" >&2
    exit 2
    ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
source_root=$(cd "$here/../.." && pwd)
toolchain=$source_root/cmake/toolchains/mingw-w64-$target.cmake
host=$target-w64-mingw32
sysroot=/usr/$host
cache=${VELMORA_DEPS_CACHE:-$HOME/.cache/velmora-deps}
jobs=$(nproc 2>/dev/null || echo 2)

die() {
  echo "build-deps: $*" >&2
  exit 1
}

for tool in "$host-gcc-posix" "$host-g++-posix" "$host-windres" cmake ninja make autoreconf libtoolize \
  apt-get dpkg-source python3; do
  command -v "$tool" >/dev/null || die "missing tool: $tool"
done
[ -f "$sysroot/lib/libz.a" ] || die "missing $sysroot/lib/libz.a (package libz-mingw-w64-dev)"
[ -f /usr/src/googletest/CMakeLists.txt ] || die "missing /usr/src/googletest (package googletest)"
[ -d /usr/include/nlohmann ] || die "missing /usr/include/nlohmann (package nlohmann-json3-dev)"
[ -f /usr/include/easylogging++.h ] || die "missing /usr/include/easylogging++.h (package libeasyloggingpp-dev)"

# Source package -> a binary package built from it, whose version names it.
sources=(expat:libexpat1-dev libpng1.6:libpng-dev minizip:libminizip-dev curl:libcurl4-openssl-dev
  libsodium:libsodium-dev wxwidgets3.2:wx3.2-headers)

candidate_version() {
  apt-cache show --no-all-versions "$1" 2>/dev/null | sed -n 's/^Version: //p' | head -n1
}
installed_version() {
  dpkg-query -W -f='${Version}' "$1" 2>/dev/null || true
}

key_input() {
  local entry version
  for entry in "${sources[@]}"; do
    version=$(candidate_version "${entry#*:}")
    [ -n "$version" ] || die "no version known for ${entry#*:} (run apt-get update)"
    echo "${entry%%:*} $version"
  done
  echo "googletest $(installed_version googletest)"
  echo "libz-mingw-w64-dev $(installed_version libz-mingw-w64-dev)"
  echo "nlohmann-json3-dev $(installed_version nlohmann-json3-dev)"
  echo "libeasyloggingpp-dev $(installed_version libeasyloggingpp-dev)"
  echo "compiler $("$host-g++-posix" -dumpfullversion)"
  sha256sum "$0" "$toolchain" "$source_root/cmake/toolchains/mingw-w64-common.cmake" | cut -d' ' -f1
}

inputs=$(key_input)
key=$(echo "$inputs" | sha256sum | cut -c1-16)
prefix=$cache/$target-$key

if [ -f "$prefix/.complete" ]; then
  echo "build-deps: reusing $prefix" >&2
  echo "$prefix"
  exit 0
fi

echo "build-deps: building into $prefix" >&2
rm -rf "$prefix"
work=$cache/work-$target-$key
rm -rf "$work"
mkdir -p "$prefix/logs" "$work/src"
echo "$inputs" >"$prefix/inputs.txt"
started=$(date +%s)

# step NAME COMMAND...: runs one step with its output in logs/NAME.log; on
# failure shows the log's end and stops.
step() {
  local name=$1
  shift
  local log=$prefix/logs/$name.log t0
  t0=$(date +%s)
  echo "build-deps: $name..." >&2
  local status=0
  # A subshell outside any condition, so that errexit holds inside the step.
  set +e
  (
    set -e
    "$@"
  ) >"$log" 2>&1
  status=$?
  set -e
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    die "$name failed (log: $log)"
  fi
  echo "build-deps: $name done in $(($(date +%s) - t0)) s" >&2
  echo "$name $(($(date +%s) - t0))" >>"$prefix/logs/times.txt"
}

# A private apt configuration with deb-src entries derived from the machine's
# own sources: the machine's configuration is not changed.
fetch_sources() {
  local apt=$work/apt
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  : >"$apt/empty.list"
  python3 - "$apt/sources.list.d" <<'PY'
import glob, os, re, sys
out = sys.argv[1]
stanzas = []
for path in sorted(glob.glob('/etc/apt/sources.list.d/*.sources')):
    with open(path, encoding='utf-8') as f:
        for block in re.split(r'\n\s*\n', f.read()):
            lines = [l for l in block.splitlines() if l.strip() and not l.lstrip().startswith('#')]
            fields = {}
            for l in lines:
                if ':' in l and not l[0].isspace():
                    k, v = l.split(':', 1)
                    fields[k.strip().lower()] = v.strip()
            if 'deb' not in fields.get('types', '').split() or fields.get('enabled', 'yes') == 'no':
                continue
            if 'debian' not in fields.get('uris', ''):
                continue
            lines = ['Types: deb-src' if l.lower().startswith('types:') else l for l in lines]
            stanzas.append('\n'.join(lines))
with open(os.path.join(out, 'src.sources'), 'w', encoding='utf-8') as f:
    f.write('\n\n'.join(stanzas) + '\n')
lines = []
for path in ['/etc/apt/sources.list'] + sorted(glob.glob('/etc/apt/sources.list.d/*.list')):
    if os.path.exists(path):
        with open(path, encoding='utf-8') as f:
            for l in f:
                if re.match(r'\s*deb\s', l) and 'debian' in l:
                    lines.append(re.sub(r'^\s*deb\s', 'deb-src ', l, count=1))
with open(os.path.join(out, 'src.list'), 'w', encoding='utf-8') as f:
    f.writelines(lines)
PY
  grep -q . "$apt/sources.list.d/src.sources" "$apt/sources.list.d/src.list" ||
    die "no Debian entry in the machine's apt sources"
  local options=(-o "Dir::Etc::SourceList=$apt/empty.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
  apt-get "${options[@]}" update
  local entry package version fetched
  cd "$work/src"
  for entry in "${sources[@]}"; do
    package=${entry%%:*}
    # The newest revision first; a mirror that lacks it (seen with security
    # updates) gives the next one, which is said in the log.
    fetched=
    for version in $(apt-cache "${options[@]}" showsrc "$package" | sed -n 's/^Version: //p' |
      sort -u | sort -V -r); do
      if apt-get "${options[@]}" source "$package=$version"; then
        fetched=$version
        break
      fi
      echo "build-deps: $package $version cannot be fetched, trying an older revision"
      rm -rf "${package:?}"-* "${package:?}"_*
    done
    [ -n "$fetched" ] || die "no source of $package can be fetched"
    echo "$package $fetched" >>"$prefix/sources.txt"
  done
}

source_dir() {
  local dir
  dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n1)
  [ -n "$dir" ] || die "no unpacked source for $1"
  echo "$dir"
}

cmake_dep() {
  local name=$1 src=$2
  shift 2
  cmake -S "$src" -B "$work/build-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DVELMORA_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "$@"
}

build_expat() {
  local src
  src=$(source_dir expat)
  [ -f "$src/CMakeLists.txt" ] || src=$src/expat
  cmake_dep expat "$src" -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF
  # Debian's patch tests "#if XML_DTD == 1"; the CMake build writes a bare define.
  sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$work/build-expat/expat_config.h"
  cmake --build "$work/build-expat" -j "$jobs"
  cmake --install "$work/build-expat"
  [ -f "$prefix/lib/libexpat.a" ] || die "libexpat.a not installed"
}

build_png() {
  cmake_dep png "$(source_dir libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
    -DZLIB_LIBRARY="$sysroot/lib/libz.a" -DZLIB_INCLUDE_DIR="$sysroot/include"
  cmake --build "$work/build-png" -j "$jobs"
  cmake --install "$work/build-png"
  [ -f "$prefix/lib/libpng.a" ] || cp "$prefix/lib/libpng16.a" "$prefix/lib/libpng.a"
}

build_minizip() {
  local src out=$work/build-minizip cc=$host-gcc-posix f
  src=$(source_dir minizip)
  mkdir -p "$out" "$prefix/include/minizip"
  for f in ioapi unzip zip iowin32 mztools; do
    "$cc" -O2 -Wall -I"$src" -c "$src/$f.c" -o "$out/$f.o"
  done
  "$host-ar" rcs "$prefix/lib/libminizip.a" "$out"/*.o
  for f in ioapi.h unzip.h zip.h iowin32.h mztools.h crypt.h; do
    cp "$src/$f" "$prefix/include/minizip/"
  done
}

build_curl() {
  cmake_dep curl "$(source_dir curl)" -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_WINDOWS_SSPI=ON -DHTTP_ONLY=ON \
    -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DCURL_ZLIB=ON -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
    -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=ON -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF \
    -DENABLE_UNIX_SOCKETS=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
    -DZLIB_LIBRARY="$sysroot/lib/libz.a" -DZLIB_INCLUDE_DIR="$sysroot/include"
  cmake --build "$work/build-curl" -j "$jobs"
  cmake --install "$work/build-curl"
}

build_sodium() {
  local src out=$work/build-sodium
  src=$(source_dir libsodium)
  # The source package carries no configure script: made here.
  (cd "$src" && autoreconf -fi)
  mkdir -p "$out"
  cd "$out"
  "$src/configure" --host="$host" --build=x86_64-pc-linux-gnu CC="$host-gcc-posix" \
    AR="$host-ar" RANLIB="$host-ranlib" CFLAGS=-O2 --prefix="$prefix" --disable-shared --enable-static \
    --disable-pie
  make -j "$jobs"
  make install
  [ -f "$prefix/lib/libsodium.a" ] || die "libsodium.a not installed"
}

build_wx() {
  local src out=$work/build-wx
  src=$(source_dir wxwidgets3.2)
  mkdir -p "$out"
  cd "$out"
  # The web view is the IE one (there is no Edge runtime under wine); the
  # wizard falls back to its own text view where it does not show.
  "$src/configure" --host="$host" --build=x86_64-pc-linux-gnu \
    CC="$host-gcc-posix" CXX="$host-g++-posix" WINDRES="$host-windres" AR="$host-ar" RANLIB="$host-ranlib" \
    CPPFLAGS="-I$prefix/include -DXML_STATIC" LDFLAGS="-L$prefix/lib" CXXFLAGS=-O2 CFLAGS=-O2 \
    --prefix="$prefix" --disable-shared --enable-monolithic --enable-unicode --disable-debug_info \
    --with-msw --with-cxx=17 --with-zlib=sys --with-expat=sys --with-libpng=sys --with-regex=builtin \
    --with-nanosvg --without-libjpeg --without-libtiff --without-liblzma --without-opengl \
    --enable-html --enable-webview --enable-webviewie --disable-webviewedge \
    --disable-stc --disable-richtext --disable-propgrid --disable-ribbon --disable-aui \
    --disable-mediactrl --disable-sound --disable-joystick --disable-xrc \
    --disable-debugreport --disable-docview --disable-mdi --disable-mdidoc \
    --disable-printarch --disable-postscript --disable-help --disable-mshtmlhelp --disable-htmlhelp \
    --disable-tests --disable-precomp-headers
  make -j "$jobs"
  make install
  [ -x "$prefix/bin/wx-config" ] || die "wx-config not installed"
}

build_googletest() {
  cmake_dep googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  cmake --build "$work/build-googletest" -j "$jobs"
  cmake --install "$work/build-googletest"
}

# Header-only libraries: a folder of links, so the compiler never sees /usr/include.
link_headers() {
  local dir=$prefix/include/header-only
  mkdir -p "$dir"
  ln -sfn /usr/include/nlohmann "$dir/nlohmann"
  ln -sfn /usr/include/easylogging++.h "$dir/easylogging++.h"
  ln -sfn /usr/include/easylogging++.cc "$dir/easylogging++.cc"
}

step sources fetch_sources
step expat build_expat
step libpng build_png
step minizip build_minizip
step curl build_curl
step libsodium build_sodium
step googletest build_googletest
step header-only link_headers
step wxwidgets build_wx

rm -rf "$work"
echo "total $(($(date +%s) - started))" >>"$prefix/logs/times.txt"
touch "$prefix/.complete"
echo "build-deps: done in $(($(date +%s) - started)) s" >&2
echo "$prefix"
