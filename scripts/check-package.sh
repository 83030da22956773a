#!/bin/sh
# Builds the Debian package with `make package`, installs it (apt-get as root
# or through sudo; otherwise unpacks it into a scratch folder) and checks what
# a user gets: both programs run, the renderer renders the installed demo
# module, `man` finds both pages, the desktop entry and the demo module are in
# place, and the package holds nothing else. Also lints the manual pages and
# the desktop entry. Removes the package again if it wasn't installed before.
#
#   scripts/check-package.sh
#   BUILD=folder: use another build folder; UNPACK=1: unpack, never install.
#   ARCH=armhf (arm64, armel, mipsel): the cross-built package of `make package ARCH=...`
#   (in build-ARCH), unpacked and never installed, its programs run under
#   qemu-user with the build's sysroot.
set -eu
cd "$(dirname "$0")/.."
native_arch=$(dpkg --print-architecture)
ARCH=${ARCH:-$native_arch}
if [ "$ARCH" = "$native_arch" ]; then
  BUILD=${BUILD:-build}
  UNPACK=${UNPACK:-0}
  run=""
else
  BUILD=${BUILD:-build-$ARCH}
  UNPACK=1
  case $ARCH in
    armhf | armel) run="qemu-arm -L $(realpath "$BUILD/sysroot")" ;;
    arm64) run="qemu-aarch64 -L $(realpath "$BUILD/sysroot")" ;;
    mipsel) run="qemu-mipsel -L $(realpath "$BUILD/sysroot")" ;;
    *) echo "check-package: no cross build for $ARCH (armhf, arm64, armel, mipsel)" >&2; exit 2 ;;
  esac
fi

fail() {
  echo "check-package: FAIL: $*" >&2
  exit 1
}
note() { echo "check-package: $*"; }

if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  sudo="sudo -n"
else
  sudo="none"
fi

# The tools of the checks themselves, when they are missing and can be had.
if [ "$sudo" != none ]; then ./scripts/install-deps.sh man-db desktop-file-utils shared-mime-info mandoc; fi

# --- Build the package.
rm -f "$BUILD"/zindle_*.deb
if [ -z "$run" ]; then
  make package BUILD="$BUILD"
else
  make package ARCH="$ARCH" CROSS_BUILD="$BUILD"
fi
version=$(sed -n 's/^project(zindle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$ARCH
deb="$BUILD/zindle_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $deb after make package ($(ls "$BUILD"/*.deb 2>/dev/null || echo none found))"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "Architecture: $(dpkg-deb -f "$deb" Architecture), not $arch"
note "built $deb"

# --- Lint the manual pages as installed, and the desktop entry.
for page in "$BUILD"/man/zindle.1 "$BUILD"/man/zindle-render.1; do
  out=$(groff -ww -z -man "$page" 2>&1) || fail "groff on $page: $out"
  [ -z "$out" ] || fail "groff warns on $page: $out"
  if command -v mandoc >/dev/null 2>&1; then
    mandoc -T lint -W warning "$page" || fail "mandoc lint on $page"
  fi
done
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate data/zindle.desktop || fail "desktop-file-validate data/zindle.desktop"
fi

# --- The package holds exactly these files, and depends on SDL and SDL_image.
expected="./usr/bin/zindle
./usr/bin/zindle-render
./usr/share/applications/zindle.desktop
./usr/share/doc/zindle/copyright
./usr/share/man/man1/zindle-render.1.gz
./usr/share/man/man1/zindle.1.gz
./usr/share/zindle/demo.mod
./usr/share/zindle/zindle.gptk"
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
[ "$actual" = "$expected" ] || fail "package contents differ:
$actual"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl1.2debian libsdl-image1.2 libsndfile1 libxmp4; do
  echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib: $depends"
done

# --- Install it, or unpack it where we can.
work=$(mktemp -d)
installed_before=no
dpkg-query -W -f='${Status}' zindle 2>/dev/null | grep -q "install ok installed" && installed_before=yes
cleanup() {
  if [ "${root:-}" = / ] && [ "$installed_before" = no ]; then
    $sudo dpkg -r zindle >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ "$sudo" != none ] && [ "$UNPACK" != 1 ]; then
  root=/
  if command -v apt-get >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"
  else
    $sudo dpkg -i "$deb"
  fi
  dpkg-query -W -f='${Status}' zindle | grep -q "install ok installed" || fail "zindle is not installed"
  bin=/usr/bin
  note "installed with the package manager"
else
  root=$work/root
  dpkg-deb -x "$deb" "$root"
  bin=$root/usr/bin
  export MANPATH="$root/usr/share/man"
  note "unpacked into $root"
fi
share=$root/usr/share
[ "$root" = / ] && share=/usr/share

# --- The programs.
[ -x "$bin/zindle" ] && [ -x "$bin/zindle-render" ] || fail "programs missing from $bin"
[ "$root" != / ] || [ "$(command -v zindle-render)" = /usr/bin/zindle-render ] || fail "zindle-render is not on PATH"
$run "$bin/zindle-render" --version | grep -qx "zindle-render $version" || fail "zindle-render --version"

demo="$share/zindle/demo.mod"
[ -s "$demo" ] || fail "no demo module at $demo"
(cd "$work" && $run "$bin/zindle-render" --seconds 2 "$demo") || fail "zindle-render on the installed demo"
wav="$work/demo.wav"
[ "$(head -c 4 "$wav")" = RIFF ] || fail "demo.wav is not a RIFF file"
[ "$(wc -c < "$wav")" -eq $((44 + 2 * 48000 * 4)) ] || fail "demo.wav is not 2 s of 48 kHz 16-bit stereo"
tail -c +45 "$wav" | od -An -v -tx1 | grep -q '[1-9a-f]' || fail "demo.wav is silent"
$run "$bin/zindle-render" --output "$work/pass.wav" "$demo" || fail "one pass of the demo"
seconds=$(( ($(wc -c < "$work/pass.wav") - 44) / (48000 * 4) ))
[ "$seconds" -ge 30 ] && [ "$seconds" -le 60 ] || fail "one pass of the demo lasts $seconds s"
note "the installed renderer renders the demo module ($seconds s per pass)"

status=0
$run "$bin/zindle" 2>"$work/usage" || status=$?
[ "$status" -eq 255 ] && grep -q "^Usage: .*zindle <module.mod>$" "$work/usage" || fail "zindle without a module"
# Its state and settings folders are the check's own, not the home's.
XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" \
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/zindle.raw" $run "$bin/zindle" "$demo" &
pid=$!
sleep 2
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "zindle on the demo ended with status $status after SIGTERM"
[ -s "$work/zindle.raw" ] || fail "zindle wrote no audio"
note "zindle plays the installed demo under the dummy/disk drivers"

# --- Manual pages and the desktop entry.
for page in zindle zindle-render; do
  file="$share/man/man1/$page.1.gz"
  if [ ! -f "$file" ] && grep -qs 'path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
    note "dpkg on this machine leaves out manual pages; skipping man -w $page"
    continue
  fi
  [ -f "$file" ] || fail "no $file"
  found=$(man -w "$page") || fail "man -w $page"
  [ "$found" = "$file" ] || fail "man -w $page gives $found, not $file"
  warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null) || fail "man -l $file"
  [ -z "$warnings" ] || fail "man warns on $file: $warnings"
done
desktop="$share/applications/zindle.desktop"
[ -f "$desktop" ] || fail "no $desktop"
# Offered for every format it plays that shared-mime-info names, each a type
# the machine's MIME database knows.
types=$(sed -n 's/^MimeType=//p' "$desktop")
for type in audio/x-mod audio/x-xm audio/x-s3m audio/x-it audio/x-stm; do
  case ";$types" in *";$type;"*) ;; *) fail "$desktop does not offer $type" ;; esac
done
if [ -d /usr/share/mime ]; then
  for type in $(echo "$types" | tr ';' ' '); do
    [ -f "/usr/share/mime/$type.xml" ] || fail "$desktop offers $type, which /usr/share/mime doesn't know"
  done
fi
grep -qx 'Exec=zindle %F' "$desktop" || fail "$desktop does not start zindle"

[ -z "$run" ] || note "ran the $arch programs under $run"
note "OK: $deb"
