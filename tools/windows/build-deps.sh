#!/usr/bin/env bash
# Cross-builds every library the Windows programs link, as static release
# builds (optimised, NDEBUG), into one prefix: build/windows-deps/prefix
# (headers, lib*.a, pkg-config and CMake package files).
# cmake/mingw-w64-x86_64.cmake reads it through QUORIN_WINDOWS_PREFIX.
#
# The source of each library is pinned in tools/windows/library-sources.txt,
# which the licence index of the package reads too: a Debian 12 source
# package of an exact version and the SHA-256 of its .dsc, or, for DevIL,
# whose Debian source is not served, the upstream tarball carried in
# third_party/devil/ and its SHA-256. A Debian source package is taken, in
# this order, from build/windows-deps/sources/<package> (kept from an
# earlier run), from debian-sources/<package> beside the tree (where the
# source archive quorin-windows-source.zip unpacks the ones it ships), or
# from the package registry with "apt-get source <package>=<version>"
# (a private apt configuration under build/windows-deps/apt; the system's
# apt sources are left alone). Its .dsc must have the pinned SHA-256 and
# every file the .dsc lists the SHA-256 it states; a version the registry
# no longer has stops the script, naming the package and version. Each
# source is unpacked with Debian's patches applied, plus our own patches
# from tools/windows/patches/.
#
# Each library is built once: a stamp under build/windows-deps/stamps holds a
# key made of its recipe, its pinned source, its patches, the compiler and
# the keys of the libraries it builds against; a library is built again only
# when that key changes (or its stamp is deleted). The versions built are
# listed in build/windows-deps/prefix/VERSIONS. A library that fails to fetch
# or build stops the script with its name and the end of its log
# (build/windows-deps/logs/<library>.log; the fetch in <library>.fetch.log).
#
# After a library was built, tools/windows/deps-check (one test per library,
# linked the way the project links them) is built against the prefix with
# cmake/mingw-w64-x86_64.cmake and run under Wine through ctest; a failure
# stops the script. --check runs it again in any case, and also builds and
# runs it natively against Debian's packages (both must agree).
#
# Usage: tools/windows/build-deps.sh [--check]
# Environment: QUORIN_DEPS_JOBS  parallel compile jobs (default: QUORIN_JOBS, else nproc)
set -euo pipefail

CHECK=when-built
case "${1:-}" in
  --check) CHECK=always ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
DEPS="$ROOT/build/windows-deps"
PREFIX="$DEPS/prefix"
PATCHES="$ROOT/tools/windows/patches"
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
JOBS="${QUORIN_DEPS_JOBS:-${QUORIN_JOBS:-$(nproc)}}"

HOST=x86_64-w64-mingw32
CC="$HOST-gcc-posix"
CXX="$HOST-g++-posix"
AR="$HOST-ar"
RANLIB="$HOST-ranlib"

# Release builds: what the CMake builds get from CMAKE_BUILD_TYPE=Release,
# for the libraries built otherwise (no assertion, so no path of this build
# tree, goes into a program).
RELEASE_CFLAGS="-O2 -DNDEBUG"

PINS="$ROOT/tools/windows/library-sources.txt"
SHIPPED="$(dirname "$ROOT")/debian-sources"

# Build order; each library builds against the ones listed after the colon.
LIBRARIES=(
  zlib: libpng:zlib libjpeg-turbo: freetype:zlib minizip:zlib tinyxml:
  libogg: libvorbis:libogg libsndfile:libogg,libvorbis libxmp: googletest:
  devil:zlib,libpng,libjpeg-turbo
)

die() { echo "build-deps: $*" >&2; exit 1; }

# The pinned sources: origin, version and SHA-256 of each library.
declare -A PIN_ORIGIN PIN_VERSION PIN_SHA256
while read -r lib origin version sha extra; do
  case "$lib" in ""|"#"*) continue ;; esac
  [[ "$sha" =~ ^[0-9a-f]{64}$ && -z "$extra" ]] ||
    die "$PINS: the line of $lib does not read: library origin version sha256"
  [[ "$origin" == debian:?* || -f "$ROOT/$origin" ]] ||
    die "$PINS: $lib's origin $origin is neither debian:<package> nor a file of the tree"
  PIN_ORIGIN[$lib]="$origin" PIN_VERSION[$lib]="$version" PIN_SHA256[$lib]="$sha"
done <"$PINS"
for entry in "${LIBRARIES[@]}"; do
  [ -n "${PIN_ORIGIN[${entry%%:*}]:-}" ] || die "$PINS pins no source of ${entry%%:*}"
done
for lib in "${!PIN_ORIGIN[@]}"; do
  printf '%s\n' "${LIBRARIES[@]}" | grep -q "^$lib:" || die "$PINS pins $lib, which this script does not build"
done

for tool in "$CC" "$CXX" "$AR" "$RANLIB" cmake ninja make nasm pkg-config apt-get dpkg-source patch wine wineserver; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool not found (tools/install-deps.sh installs it)"
done

# Windows programs (the check, any test a configure step would run) go
# through Wine, kept quiet and inside the build tree.
# No Mono or Gecko in the prefix: nothing here needs them.
export WINEDEBUG=-all WINEPREFIX="$DEPS/wineprefix" WINEDLLOVERRIDES="mscoree,mshtml="
export PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig" PKG_CONFIG_PATH=""
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS

mkdir -p "$DEPS"/{stamps,logs,sources,manifests,src} "$PREFIX"
exec 9>"$DEPS/lock"
flock 9   # one build of the prefix at a time

# --- fetching sources ---------------------------------------------------------

APT_DIR="$DEPS/apt"
APT_OPTS=(
  -o Dir::Etc::SourceList="$APT_DIR/sources.list"
  -o Dir::Etc::SourceParts="$APT_DIR/sources.list.d"
  -o Dir::State::Lists="$APT_DIR/lists"
  -o Dir::Cache="$APT_DIR/cache"
  -o Debug::NoLocking=1
)
APT_UPDATED=0

# The deb-src entries mirror the system's deb entries (same mirror, suites).
apt_update() {
  [ "$APT_UPDATED" = 1 ] && return 0
  mkdir -p "$APT_DIR"/{sources.list.d,lists/partial,cache/archives/partial}
  local mirror security
  mirror="$(apt_mirror 'bookworm' 'http://deb.debian.org/debian')"
  security="$(apt_mirror 'bookworm-security' 'http://deb.debian.org/debian-security')"
  cat >"$APT_DIR/sources.list" <<EOF
deb-src $mirror bookworm main
deb-src $mirror bookworm-updates main
deb-src $security bookworm-security main
EOF
  apt-get "${APT_OPTS[@]}" update
  APT_UPDATED=1
}

# First URI of the system's deb entries for a suite, or the default.
apt_mirror() {
  local suite="$1" fallback="$2" uri
  uri="$(awk -v suite="$suite" '
      /^URIs:/ { uris = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) { print uris; exit } }
      /^deb / { sub(/ \[[^]]*\]/, ""); if ($3 == suite) { print $2; exit } }' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null | head -n1)"
  echo "${uri:-$fallback}"
}

# Whether the .dsc $1 has the SHA-256 $2 and every file it lists beside it
# has the SHA-256 it states; says what is wrong otherwise.
dsc_intact() {
  local dsc="$1" sha="$2" listed
  [ -f "$dsc" ] || { echo "$dsc is missing"; return 1; }
  [ "$(sha256sum <"$dsc" | cut -d' ' -f1)" = "$sha" ] ||
    { echo "$dsc does not have the SHA-256 $sha that $PINS (and the licence index) give"; return 1; }
  listed="$(awk '/^Checksums-Sha256:/ { on = 1; next } on && /^ / { print $1 "  " $3; next } { on = 0 }' "$dsc")"
  [ -n "$listed" ] || { echo "$dsc lists no file with its SHA-256"; return 1; }
  (cd "$(dirname "$dsc")" && sha256sum --quiet -c - <<<"$listed") >/dev/null 2>&1 ||
    { echo "a file $dsc lists is missing beside it or does not have the SHA-256 it states"; return 1; }
}

# The files of the source package of the .dsc $1: itself and what it lists.
dsc_files() {
  echo "$1"
  awk '/^Checksums-Sha256:/ { on = 1; next } on && /^ / { print $3; next } { on = 0 }' "$1" |
    sed "s|^|$(dirname "$1")/|"
}

# Puts the pinned Debian source package of library $1 into
# build/windows-deps/sources/<package>: kept from an earlier run, copied from
# the shipped debian-sources/<package>, or fetched from the package registry
# at the pinned version. Says which, with the version and the .dsc's SHA-256.
fetch_source() {
  local lib="$1" package="${PIN_ORIGIN[$1]#debian:}" version="${PIN_VERSION[$1]}" sha="${PIN_SHA256[$1]}"
  local cache="$DEPS/sources/$package" log="$DEPS/logs/$1.fetch.log" dsc from why f
  dsc="${package}_${version#*:}.dsc"
  if dsc_intact "$cache/$dsc" "$sha" >/dev/null && [ "$(ls "$cache"/*.dsc)" = "$cache/$dsc" ]; then
    from="kept in $cache"
  else
    rm -rf "$cache.part" && mkdir -p "$cache.part"
    if [ -e "$SHIPPED/$package/$dsc" ]; then
      why="$(dsc_intact "$SHIPPED/$package/$dsc" "$sha")" ||
        die "$lib: the shipped Debian source package $package $version is damaged: $why"
      while IFS= read -r f; do cp "$f" "$cache.part/"; done < <(dsc_files "$SHIPPED/$package/$dsc")
      from="shipped in $SHIPPED/$package"
    else
      { apt_update && (cd "$cache.part" && apt-get "${APT_OPTS[@]}" source --download-only "$package=$version"); } \
        >"$log" 2>&1 ||
        die "$lib: the package registry no longer has the Debian source package $package $version" \
            "(apt-get source $package=$version failed; end of $log: $(tail -n 2 "$log" | tr '\n' ' '))." \
            "https://snapshot.debian.org/package/$package/${version#*:}/ keeps every version: put its .dsc" \
            "and the files it lists in $SHIPPED/$package/ and run this again"
      why="$(dsc_intact "$cache.part/$dsc" "$sha")" ||
        die "$lib: the package registry's $package $version is not the pinned one: $why"
      from="fetched: apt-get source $package=$version"
    fi
    rm -rf "$cache" && mv "$cache.part" "$cache"
  fi
  echo "build-deps: $lib: Debian source package $package $version, $from ($dsc SHA-256 $sha, as pinned)"
}

# Unpacks the pinned Debian source package of the library being built
# ($LIB), Debian's patches applied, into $1.
debian_source() {
  local package="${PIN_ORIGIN[$LIB]#debian:}" version="${PIN_VERSION[$LIB]}"
  local dsc="$DEPS/sources/$package/${package}_${version#*:}.dsc"
  dsc_intact "$dsc" "${PIN_SHA256[$LIB]}"
  [ "$(sed -n 's/^Version: //p' "$dsc")" = "$version" ] || { echo "$dsc is not of version $version"; return 1; }
  rm -rf "$1"
  dpkg-source --no-copy -x "$dsc" "$1"
  echo "$version" >"$1.version"
}

apply_patch() {
  echo "-- applying $1"
  patch -d "$2" -p1 --forward --batch <"$PATCHES/$1"
}

# --- build helpers ----------------------------------------------------------
# Every recipe unpacks into $SRC, builds in $BLD and installs into $STAGE
# (DESTDIR, with CMAKE_INSTALL_PREFIX / --prefix the real prefix); only
# include/ and lib/ of the staged tree are copied into the prefix.

cmake_build() {
  cmake -G Ninja -S "$1" -B "$BLD" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQUORIN_WINDOWS_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "${@:2}"
  cmake --build "$BLD" -j "$JOBS"
  DESTDIR="$STAGE" cmake --install "$BLD"
}

# Compiles sources given relative to $SRC into the static library $1.
archive() {
  local lib="$1" compiler="$2" flags="$3" objs=() f o
  shift 3
  mkdir -p "$BLD"
  for f in "$@"; do
    o="$BLD/$(basename "${f%.*}").o"
    # shellcheck disable=SC2086
    "$compiler" $flags -c "$SRC/$f" -o "$o"
    objs+=("$o")
  done
  mkdir -p "$STAGE$PREFIX/lib"
  "$AR" rcs "$STAGE$PREFIX/lib/$lib" "${objs[@]}"
}

# Writes a pkg-config file into the staged lib/pkgconfig.
pc_file() {
  mkdir -p "$STAGE$PREFIX/lib/pkgconfig"
  { echo "prefix=$PREFIX"; echo 'libdir=${prefix}/lib'; echo 'includedir=${prefix}/include'; echo
    cat; } >"$STAGE$PREFIX/lib/pkgconfig/$1.pc"
}

# --- recipes ------------------------------------------------------------------

build_zlib() {
  debian_source "$SRC"
  mkdir -p "$BLD"
  (cd "$BLD" && CHOST=$HOST CC=$CC AR=$AR RANLIB=$RANLIB CFLAGS="$RELEASE_CFLAGS" \
     "$SRC/configure" --static --prefix="$PREFIX")
  make -C "$BLD" -j "$JOBS" libz.a
  make -C "$BLD" install DESTDIR="$STAGE"
}

build_libpng() {
  debian_source "$SRC"
  cmake_build "$SRC" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF -Dld-version-script=OFF
}

build_libjpeg_turbo() {
  debian_source "$SRC"
  # Its own GNUInstallDirs takes a relative LIBDIR from the working directory.
  cmake_build "$SRC" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib"
}

# FreeType with the prefix's zlib, as Debian builds it (its internal zlib
# copy leaves zlib symbols global and clashes with libz.a), without PNG,
# bzip2, Brotli and HarfBuzz: the game's fonts are plain TrueType outlines.
# freetype2.pc requires zlib; users of find_package(Freetype) must link
# ZLIB::ZLIB after Freetype::Freetype (the engine does).
build_freetype() {
  debian_source "$SRC"
  cmake_build "$SRC" -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
  grep -Eq '^Requires(\.private)?: *zlib *$' "$STAGE$PREFIX/lib/pkgconfig/freetype2.pc" \
    || { echo "freetype2.pc does not require zlib"; return 1; }
}

# Debian's minizip (the one the Linux build links); its autotools build is
# not made for cross-compiling, so the library's few files are compiled here
# as its Makefile.am lists them for Windows (iowin32.c included).
build_minizip() {
  debian_source "$SRC"
  archive libminizip.a "$CC" "$RELEASE_CFLAGS -I$PREFIX/include" ioapi.c mztools.c unzip.c zip.c iowin32.c
  mkdir -p "$STAGE$PREFIX/include/minizip"
  (cd "$SRC" && cp crypt.h ioapi.h mztools.h unzip.h zip.h iowin32.h "$STAGE$PREFIX/include/minizip/")
  pc_file minizip <<'EOF'
Name: minizip
Description: Minizip zip file manipulation library
Version: 1.2.8
Requires.private: zlib
Libs: -L${libdir} -lminizip
Cflags: -I${includedir}/minizip
EOF
}

# As debian/rules builds it: the three library files with TIXML_USE_STL,
# which Debian's enforce-use-stl.patch also defines in tinyxml.h, so that
# every user sees the same class layout.
build_tinyxml() {
  debian_source "$SRC"
  grep -q '#define TIXML_USE_STL' "$SRC/tinyxml.h" || { echo "tinyxml.h does not define TIXML_USE_STL"; return 1; }
  archive libtinyxml.a "$CXX" "$RELEASE_CFLAGS -DTIXML_USE_STL" tinyxml.cpp tinyxmlparser.cpp tinyxmlerror.cpp
  install -D -m644 "$SRC/tinyxml.h" "$STAGE$PREFIX/include/tinyxml.h"
  pc_file tinyxml <<'EOF'
Name: TinyXml
Description: simple, small, C++ XML parser
Version: 2.6.2
Libs: -L${libdir} -ltinyxml
Cflags: -I${includedir}
EOF
}

build_libogg() {
  debian_source "$SRC"
  cmake_build "$SRC" -DINSTALL_DOCS=OFF
}

build_libvorbis() {
  debian_source "$SRC"
  cmake_build "$SRC"
}

build_libsndfile() {
  debian_source "$SRC"
  apply_patch libsndfile-vorbis-without-flac-opus.patch "$SRC"
  cmake_build "$SRC" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DENABLE_CPACK=OFF -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=OFF -DBUILD_REGTEST=OFF \
    -DINSTALL_MANPAGES=OFF -DCMAKE_DISABLE_FIND_PACKAGE_FLAC=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_Opus=ON -DCMAKE_DISABLE_FIND_PACKAGE_Speex=ON
  grep -q '^Requires.private: *ogg vorbis vorbisenc *$' "$STAGE$PREFIX/lib/pkgconfig/sndfile.pc" \
    || { echo "sndfile.pc does not require ogg and vorbis:"; cat "$STAGE$PREFIX/lib/pkgconfig/sndfile.pc"; return 1; }
}

# libxmp has only its own autoconf/make build. Static users must define
# BUILDING_STATIC (xmp.h otherwise declares DLL imports): libxmp.pc says so.
build_libxmp() {
  debian_source "$SRC"
  (cd "$SRC" && CC=$CC AR=$AR RANLIB=$RANLIB CFLAGS="$RELEASE_CFLAGS" \
     ./configure --host=$HOST --prefix="$PREFIX" --enable-static --disable-shared)
  make -C "$SRC" -j "$JOBS" static
  make -C "$SRC" install DESTDIR="$STAGE"
  sed -i 's|^Cflags: .*|& -DBUILDING_STATIC|' "$STAGE$PREFIX/lib/pkgconfig/libxmp.pc"
}

# gtest and gmock with their CMake package files (find_package(GTest)).
# Windows' own threads serve gtest's locking; winpthreads is not involved.
build_googletest() {
  debian_source "$SRC"
  cmake_build "$SRC" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON
}

# IL only, from third_party/devil, with PNG and JPEG from this prefix and the
# formats IL reads by itself; every other external format library is off.
build_devil() {
  local tarball="$ROOT/${PIN_ORIGIN[devil]}"
  echo "${PIN_SHA256[devil]}  $tarball" | sha256sum -c -
  rm -rf "$SRC" && mkdir -p "$SRC"
  tar -xJf "$tarball" -C "$SRC" --strip-components=1
  echo "${PIN_VERSION[devil]}" >"$SRC.version"
  local off=()
  for p in TIFF Jasper libSquish NVTT OpenEXR LCMS2 LCMS MNG; do off+=("-DCMAKE_DISABLE_FIND_PACKAGE_$p=ON"); done
  BLD="$BLD/src-IL"   # IL's CMake writes its library to ../lib
  cmake_build "$SRC/DevIL/src-IL" "${off[@]}"
  grep -q '^#define IL_NO_PNG' "$SRC/DevIL/src-IL/include/config.h" && { echo "IL built without PNG"; return 1; }
  grep -q '^#define IL_NO_JPG' "$SRC/DevIL/src-IL/include/config.h" && { echo "IL built without JPEG"; return 1; }
  rm -f "$STAGE$PREFIX/lib/pkgconfig/IL.pc"
  pc_file IL <<'EOF'
Name: IL
Description: Developer's Image Library - IL part (just image loading)
Version: 1.8.0
Requires.private: libpng libjpeg
Libs: -L${libdir} -lIL
Cflags: -I${includedir} -DIL_STATIC_LIB
EOF
}

# --- driver -------------------------------------------------------------------

declare -A KEY
COMPILER_ID="$("$CXX" --version | head -n1); $("$CC" --version | head -n1); $(nasm -v)"
COMMON_RECIPE="$(declare -f dsc_intact debian_source apply_patch cmake_build archive pc_file; echo "$RELEASE_CFLAGS")"

# The patches a recipe applies (apply_patch NAME), in its order. Each must
# be there, and no patch of the library may lie unused: an input the key
# cannot read stops the script instead of leaving the key without it.
recipe_patches() {
  local lib="$1" fn="build_${1//-/_}" p
  local named=()
  mapfile -t named < <(declare -f "$fn" | sed -n 's/^ *apply_patch \([^ ;]*\) .*/\1/p')
  for p in "${named[@]}"; do
    [ -f "$PATCHES/$p" ] || die "$lib: its recipe applies $p, which is not in $PATCHES"
    echo "$p"
  done
  for p in "$PATCHES/$lib"-*.patch; do
    [ -e "$p" ] || continue
    printf '%s\n' "${named[@]}" | grep -qxF "${p##*/}" ||
      die "$lib: $p is not applied by its recipe (build_${lib//-/_})"
  done
}

recipe_key() {
  local lib="$1" deps="$2" fn="build_${1//-/_}" d p patches
  patches="$(recipe_patches "$lib")" || exit 1
  {
    echo "$COMPILER_ID"
    echo "$COMMON_RECIPE"
    declare -f "$fn"
    for p in $patches; do cat "$PATCHES/$p"; done
    echo "${PIN_ORIGIN[$lib]} ${PIN_VERSION[$lib]} ${PIN_SHA256[$lib]}"
    for d in ${deps//,/ }; do echo "$d ${KEY[$d]}"; done
  } | sha256sum | cut -d' ' -f1
}

# Removes the files a library installed before, then copies its staged
# include/ and lib/ trees into the prefix and remembers them.
install_staged() {
  local lib="$1" root="$STAGE$PREFIX" f outside
  outside="$(cd "$STAGE" && find . \( -type f -o -type l \) ! -path ".$PREFIX/*" | head -n 5)"
  [ -z "$outside" ] || { echo "installed outside the prefix:"; echo "$outside"; return 1; }
  if [ -f "$DEPS/manifests/$lib" ]; then
    while IFS= read -r f; do rm -f "$PREFIX/$f"; done <"$DEPS/manifests/$lib"
  fi
  local dirs=()
  for f in include lib; do [ -d "$root/$f" ] && dirs+=("$f"); done
  [ ${#dirs[@]} -gt 0 ] || { echo "nothing installed"; return 1; }
  (cd "$root" && find "${dirs[@]}" \( -type f -o -type l \) | sort) >"$DEPS/manifests/$lib"
  (cd "$root" && tar -cf - "${dirs[@]}") | (cd "$PREFIX" && tar -xf -)
}

build_one() {
  local lib="$1" log="$DEPS/logs/$1.log" start rc
  LIB="$lib" SRC="$DEPS/src/$lib" BLD="$DEPS/build/$lib" STAGE="$DEPS/stage/$lib"
  rm -rf "$BLD" "$STAGE" "$DEPS/stamps/$lib"
  start=$SECONDS
  case "${PIN_ORIGIN[$lib]}" in
    debian:*) fetch_source "$lib" ;;
    *) echo "build-deps: $lib: $(basename "${PIN_ORIGIN[$lib]}") ${PIN_VERSION[$lib]} of the tree" \
            "(${PIN_ORIGIN[$lib]}, pinned SHA-256 ${PIN_SHA256[$lib]})" ;;
  esac
  set +e
  ( set -e; "build_${lib//-/_}"; install_staged "$lib" ) >"$log" 2>&1
  rc=$?
  set -e
  if [ $rc -ne 0 ]; then
    echo "build-deps: $lib failed to fetch or build; end of $log:" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
  printf 'key=%s\nversion=%s\nseconds=%s\n' "${KEY[$lib]}" "$(cat "$SRC.version")" \
    "$((SECONDS - start))" >"$DEPS/stamps/$lib"
  rm -rf "$BLD" "$STAGE" "$SRC"
  echo "build-deps: $lib $(cat "$SRC.version") built in $((SECONDS - start)) s"
}

for entry in "${LIBRARIES[@]}"; do
  lib="${entry%%:*}" deps="${entry#*:}"
  KEY[$lib]="$(recipe_key "$lib" "$deps")"
  if ! grep -qx "key=${KEY[$lib]}" "$DEPS/stamps/$lib" 2>/dev/null; then
    build_one "$lib"
  fi
done

{
  echo "# Libraries in this prefix: name, version (as tools/windows/library-sources.txt"
  echo "# pins it), seconds the build took."
  for entry in "${LIBRARIES[@]}"; do
    lib="${entry%%:*}"
    printf '%-14s %-32s %s s\n' "$lib" "$(sed -n 's/^version=//p' "$DEPS/stamps/$lib")" \
      "$(sed -n 's/^seconds=//p' "$DEPS/stamps/$lib")"
  done
} >"$PREFIX/VERSIONS.tmp"
mv "$PREFIX/VERSIONS.tmp" "$PREFIX/VERSIONS"

# --- check ----------------------------------------------------------------------

# Builds tools/windows/deps-check in $1 (extra CMake arguments after it) and
# runs it through ctest. Every step returns its failure itself: the caller
# may run this where errexit does not apply.
check_build() {
  local dir="$1"
  shift
  cmake -G Ninja -S "$ROOT/tools/windows/deps-check" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" || return 1
  cmake --build "$dir" -j "$JOBS" || return 1
  ctest --test-dir "$dir" -j "$JOBS" --timeout 120 --no-tests=error --output-on-failure
}

# Wine's own helper processes (services, rpcss, ...) start with the first
# Windows program and inherit its output: started here, by a program of
# their own with its output to /dev/null, they hold no pipe ctest waits on.
# The persistent server spares every test Wine's start-up; it ends with the
# check.
check_windows() {
  mkdir -p "$WINEPREFIX"
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1
  local rc=0
  check_build "$DEPS/check-windows" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQUORIN_WINDOWS_PREFIX="$PREFIX" || rc=$?
  wineserver -k || true
  return $rc
}

CHECK_KEY="$( { for entry in "${LIBRARIES[@]}"; do echo "${KEY[${entry%%:*}]}"; done
                cat "$ROOT"/tools/windows/deps-check/* "$TOOLCHAIN"; declare -f check_build check_windows; } \
              | sha256sum | cut -d' ' -f1)"
if [ "$CHECK" = always ] || ! grep -qx "key=$CHECK_KEY" "$DEPS/stamps/check" 2>/dev/null; then
  rm -f "$DEPS/stamps/check"
  start=$SECONDS
  set +e
  (
    set -e
    check_windows
    if [ "$CHECK" = always ]; then
      ( unset PKG_CONFIG_LIBDIR PKG_CONFIG_PATH; check_build "$DEPS/check-native" )
    fi
  ) >"$DEPS/logs/check.log" 2>&1
  rc=$?
  set -e
  if [ $rc -ne 0 ]; then
    echo "build-deps: the check of the libraries failed; end of $DEPS/logs/check.log:" >&2
    tail -n 60 "$DEPS/logs/check.log" >&2
    exit 1
  fi
  echo "key=$CHECK_KEY" >"$DEPS/stamps/check"
  echo "build-deps: every library checked in $((SECONDS - start)) s"
fi
