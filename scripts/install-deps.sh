#!/bin/sh
# Installs the Debian packages that building, playing, testing and packaging
# (dpkg-dev, for the package's library dependencies; clang, for the fuzzer) need,
# or the packages named on the command line (the benchmarks' extras), when any
# is missing. Runs apt-get as root, or through sudo.
set -e
packages="g++ cmake make pkg-config libsdl1.2-dev libsdl-image1.2-dev libgtest-dev libsndfile1-dev
  xvfb xdotool x11-apps valgrind dpkg-dev clang libclang-rt-dev"
[ $# -gt 0 ] && packages="$*"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q || true
$sudo apt-get install -y -q --no-install-recommends $missing
