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
# The font rules sit in conf.avail, enabled by a link in /etc/fonts/conf.d that resolves inside
# the package, and give the workbooks' ＭＳ Ｐゴシック a Japanese font.
rules=64-tessarin-japanese-fonts.conf
link="$root/etc/fonts/conf.d/$rules"
if [ ! -L "$link" ] || [ "$(readlink -f "$link")" != "$(readlink -f "$root/usr/share/fontconfig/conf.avail/$rules")" ]; then
  echo "the package does not enable $rules from /etc/fonts/conf.d" >&2
  exit 1
fi
printf '<?xml version="1.0"?>\n<fontconfig><include ignore_missing="yes">/etc/fonts/fonts.conf</include><include>%s</include></fontconfig>\n' \
  "$root/usr/share/fontconfig/conf.avail/$rules" >"$home/fonts.conf"
family=$(FONTCONFIG_FILE="$home/fonts.conf" fc-match "ＭＳ Ｐゴシック" family)
case "$family" in
  "BIZ UDPGothic"* | "Noto Sans CJK JP"*) ;;
  *)
    echo "with the package's font rules ＭＳ Ｐゴシック is \"$family\", not a Japanese font" >&2
    exit 1
    ;;
esac
# The window waits in its file dialog; still running after three seconds means it started.
status=0
HOME="$home" QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/tessarin-desktop" >/dev/null 2>&1 || status=$?
if [ "$status" -ne 124 ]; then
  echo "tessarin-desktop ended with status $status instead of staying up" >&2
  exit 1
fi
echo "ok: $deb installs and starts"
