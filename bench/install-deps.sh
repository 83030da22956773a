#!/bin/sh
# Installs the Debian packages named on the command line, when any is
# missing: the extra packages the benchmarks need beyond a normal build.
# Runs apt-get as root, or through sudo.
set -e
missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q || true
$sudo apt-get install -y -q --no-install-recommends $missing
