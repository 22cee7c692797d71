#!/bin/sh
# Installs the Debian packages the build, the tests and the benchmarks need.
# Does nothing when everything is already present.
set -eu

BUILD="build-essential cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev libssl-dev libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev xvfb xauth"
RUNTIME="xdg-utils"
CHECKS="sqlite3 trash-cli"
# Only with --checks: the export format, remote scans (a throwaway sshd),
# desktop entry and AppStream checks.
EXTRAS="ncdu gdu openssh-server desktop-file-utils appstream"
[ "${1:-}" = "--checks" ] || EXTRAS=""

missing=""
for p in $BUILD $RUNTIME $CHECKS $EXTRAS ${TARNBECK_EXTRA_PACKAGES:-}; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
