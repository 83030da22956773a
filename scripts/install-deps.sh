#!/bin/sh
# Installs the Debian packages a command needs, when any is missing. Each
# argument is a group below or a package name (name:arch for another
# architecture's package); apt-get runs as root, or through sudo.
#
#   scripts/install-deps.sh build test        install what's missing
#   scripts/install-deps.sh --missing test    only print what's missing
#   scripts/install-deps.sh --update          only refresh the package lists
#
# Groups (each includes what it names after "="):
#   build      the compiler, CMake, make, pkg-config, SDL 1.2, SDL_image 1.2, libsndfile, libxmp
#   test       = build + GoogleTest, Xvfb, xdotool, x11-apps, valgrind, flac
#   fuzz       = build + clang and its sanitizer runtimes
#   sanitizers = test + fuzz (scripts/ci-sanitizers.sh)
#   package    = build + dpkg-dev (dpkg-shlibdeps, for the package's Depends)
#   bench      = build + Google Benchmark
#   cross-ARCH = build + the cross compiler for ARCH (armhf, arm64, armel,
#                mipsel) and qemu-user; ARCH's libraries come from
#                scripts/make-sysroot.sh
#   test-cross-ARCH = cross-ARCH + Xvfb, xdotool, x11-apps (the window test), tmux
# A failing update or install stops with a non-zero status.
set -eu

group() {
  case $1 in
    build) echo "g++ cmake make pkg-config libsdl1.2-dev libsdl-image1.2-dev libsndfile1-dev libxmp-dev" ;;
    test) echo "$(group build) libgtest-dev xvfb xdotool x11-apps valgrind tmux flac" ;;
    fuzz) echo "$(group build) clang libclang-rt-dev" ;;
    sanitizers) echo "$(group test) clang libclang-rt-dev" ;;
    package) echo "$(group build) dpkg-dev" ;;
    bench) echo "$(group build) libbenchmark-dev" ;;
    cross-armhf) echo "$(group build) g++-arm-linux-gnueabihf qemu-user" ;;
    cross-arm64) echo "$(group build) g++-aarch64-linux-gnu qemu-user" ;;
    cross-armel) echo "$(group build) g++-arm-linux-gnueabi qemu-user" ;;
    cross-mipsel) echo "$(group build) g++-mipsel-linux-gnu qemu-user" ;;
    test-cross-armhf | test-cross-arm64 | test-cross-armel | test-cross-mipsel)
      echo "$(group "${1#test-}") xvfb xdotool x11-apps tmux" ;;
    cross-* | test-cross-*) echo "install-deps: no cross build for ${1##*-} (armhf, arm64, armel, mipsel)" >&2; return 1 ;;
    *) echo "$1" ;;
  esac
}

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# One apt-get update, its output on standard output; status 0 when every list
# came. Where apt's sandbox user can't run gpgv, every signature check fails;
# as root the update is then tried again without the sandbox.
update_once() {
  log=$(mktemp)
  status=0
  $sudo apt-get update -q >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ] && [ -z "$sudo" ] && grep -qiE 'gpgv|signature|NO_PUBKEY|not signed' "$log"; then
    echo "install-deps: apt-get update failed its signature checks; trying again without apt's sandbox"
    status=0
    apt-get -o APT::Sandbox::User=root update -q >"$log" 2>&1 || status=$?
  fi
  cat "$log"
  # apt-get update ends with status 0 when only some lists failed to come.
  if [ "$status" -eq 0 ] && grep -qE '^(E|W): (Failed to fetch|Some index files failed)' "$log"; then status=1; fi
  grep -E '^(E|W): Failed to fetch' "$log" >"$failed_lists" || true
  rm -f "$log"
  return "$status"
}

# True when every list that failed to come is another architecture's package
# list (seen: a mirror serving bookworm-security's armhf Packages.xz shorter
# than its Release says, for days). The machine's own lists all came, so
# installing its packages is safe, and a sysroot can be built from the
# architecture's other lists (scripts/make-sysroot.sh says so).
only_foreign_lists_failed() {
  [ -s "$failed_lists" ] || return 1
  native=$(dpkg --print-architecture)
  ! grep -v -E "/binary-[a-z0-9]+/" "$failed_lists" | grep -q . &&
    ! grep -q "/binary-$native/" "$failed_lists"
}

# apt-get update, failing when any list fails to come three times in a row:
# a mirror caught in the middle of a sync ("File has unexpected size") serves
# the whole list again a little later.
update() {
  failed_lists=$(mktemp)
  trap 'rm -f "$failed_lists"' EXIT
  for try in 1 2 3; do
    status=0
    update_once || status=$?
    [ "$status" -ne 0 ] || return 0
    [ "$try" -eq 3 ] || { echo "install-deps: apt-get update failed (status $status); trying again in 20 s"; sleep 20; }
  done
  if only_foreign_lists_failed; then
    echo "install-deps: WARNING: these lists of another architecture could not be read; going on without them:" >&2
    sed 's/^/  /' "$failed_lists" >&2
    return 0
  fi
  echo "install-deps: apt-get update failed (status $status)" >&2
  exit 1
}

only_missing=no
case ${1:-} in
  --update) update; exit 0 ;;
  --missing) only_missing=yes; shift ;;
esac
[ $# -gt 0 ] || set -- build

packages=""
for arg in "$@"; do packages="$packages $(group "$arg")"; done
missing=""
for p in $packages; do
  case " $missing " in *" $p "*) continue ;; esac
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
missing=${missing# }
if [ "$only_missing" = yes ]; then
  [ -z "$missing" ] || echo "$missing"
  exit 0
fi
[ -z "$missing" ] && exit 0

echo "install-deps: installing $missing"
update
# shellcheck disable=SC2086
if ! $sudo apt-get install -y -q --no-install-recommends $missing; then
  echo "install-deps: apt-get install $missing failed" >&2
  exit 1
fi
