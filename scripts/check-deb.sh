#!/usr/bin/env bash
# Builds the .deb, unpacks it into a clean folder and starts both programs from there: the
# command line prints its version, the window starts on the offscreen platform and stays up.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
scripts/build.sh
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/tessarin_*.deb | head -1)
root=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$root" "$home"' EXIT
dpkg -x "$deb" "$root"
"$root/usr/bin/tessarin" --version
# The window waits in its file dialog; still running after three seconds means it started.
status=0
HOME="$home" QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/tessarin-desktop" >/dev/null 2>&1 || status=$?
if [ "$status" -ne 124 ]; then
  echo "tessarin-desktop ended with status $status instead of staying up" >&2
  exit 1
fi
echo "ok: $deb installs and starts"
