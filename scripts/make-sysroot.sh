#!/bin/sh
# Builds a sysroot for cross-compiling Zindle to a Debian architecture (armhf,
# arm64, armel, mipsel) and for running the result under qemu-user: Debian's
# packages of SDL 1.2, SDL_image 1.2, libsndfile, libxmp, GoogleTest, the C++
# runtime and everything they depend on, for that architecture, unpacked into
# DIR.
#
#   scripts/make-sysroot.sh ARCH DIR
#
# A foreign -dev package can't be installed beside the native one (installing
# libsdl1.2-dev:armhf removes libsdl1.2-dev:amd64), so nothing is installed:
# the dependency closure is what apt would install on an empty system, and
# its packages for ARCH (and for all architectures: headers such as
# x11proto-dev) are downloaded and unpacked with dpkg-deb -x. The only change
# to the machine is ARCH added to dpkg's architectures and its package lists.
# Does nothing when DIR already holds the sysroot of the same package list.
set -eu
[ $# -eq 2 ] || { echo "Usage: $0 ARCH DIR" >&2; exit 2; }
arch=$1
dir=$(realpath -m "$2")
cd "$(dirname "$0")/.."
case $arch in
  armhf | arm64 | armel | mipsel) ;;
  *) echo "make-sysroot: no sysroot for $arch (armhf, arm64, armel, mipsel)" >&2; exit 2 ;;
esac
# The compiler and its C and C++ libraries come with the cross compiler; the
# runtime libraries the programs load under qemu come from here.
wanted="libsdl1.2-dev libsdl-image1.2-dev libsndfile1-dev libxmp-dev libxmp4 libgtest-dev libstdc++6 libgcc-s1"

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
stamp="$dir/.zindle-sysroot"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$arch: $wanted" ]; then
  echo "make-sysroot: $dir is up to date"
  exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
  echo "make-sysroot: adding $arch to dpkg's architectures"
  $sudo dpkg --add-architecture "$arch"
fi
targets=""
for p in $wanted; do targets="$targets $p:$arch"; done
if ! apt-cache show libsdl1.2-dev:"$arch" >/dev/null 2>&1; then
  ./scripts/install-deps.sh --update
fi

# The closure: apt's plan for installing the packages on a machine that has
# nothing, with one line per package: "Inst NAME[:ARCH] (VERSION ... [ARCH])".
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/status"
# shellcheck disable=SC2086
apt-get -s -q -o Dir::State::status="$work/status" -o APT::Install-Recommends=false \
  -o APT::Install-Suggests=false install $targets >"$work/plan" 2>&1 ||
  { cat "$work/plan" >&2; echo "make-sysroot: apt can't resolve$targets" >&2; exit 1; }
# NAME ARCH VERSION, for ARCH and for all architectures.
sed -n "s/^Inst \([^ :]*\)[^ ]* (\([^ ]*\) .*\[\($arch\|all\)\].*/\1 \3 \2/p" "$work/plan" | sort -u >"$work/closure"
count=$(wc -l <"$work/closure")
[ "$count" -gt 0 ] || { cat "$work/plan" >&2; echo "make-sysroot: empty dependency closure" >&2; exit 1; }

debs="$dir.debs"
mkdir -p "$debs"
echo "make-sysroot: downloading $count packages for $arch into $debs"
: >"$work/get"
# apt-get download names a file NAME_VERSION_ARCH.deb, the epoch's ':' as %3a.
debname() { echo "${1}_$(echo "$3" | sed 's/:/%3a/')_$2.deb"; }
while read -r name parch version; do
  [ -f "$debs/$(debname "$name" "$parch" "$version")" ] || echo "$name:$parch=$version" >>"$work/get"
done <"$work/closure"
if [ -s "$work/get" ]; then
  # apt-get download as root warns that it can't drop to its sandbox user in
  # a folder that user can't write; the download is the same.
  # shellcheck disable=SC2046
  (cd "$debs" && apt-get download -q $(cat "$work/get")) || { echo "make-sysroot: download failed" >&2; exit 1; }
fi

rm -rf "$dir"
mkdir -p "$dir"
while read -r name parch version; do
  dpkg-deb -x "$debs/$(debname "$name" "$parch" "$version")" "$dir"
done <"$work/closure"

# Links that name an absolute path mean that path inside the sysroot.
find "$dir" -type l | while read -r link; do
  target=$(readlink "$link")
  case $target in
    /*) ln -sfn "$dir$target" "$link" ;;
  esac
done
echo "$arch: $wanted" >"$stamp"
echo "make-sysroot: $arch sysroot of $count packages in $dir"
