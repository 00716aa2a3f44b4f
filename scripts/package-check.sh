#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user would meet it:
# lintian (no errors), the desktop entry and AppStream metadata as packed,
# then installs it with apt, runs what it installed, and removes it again.
# Needs root (or sudo) for the install.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
app_id=org.talvo4.Talvo4

deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"

work=$(mktemp -d)
installed=0
cleanup() {
    if [ "$installed" = 1 ]; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq talvo4 >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "package-check: $*" >&2
    exit 1
}

echo "== lintian"
lint_status=0
lintian --fail-on error --display-info "$deb" >"$work/lintian.txt" 2>&1 || lint_status=$?
grep -v 'running with root privileges' "$work/lintian.txt" || true
[ "$lint_status" = 0 ] || fail "lintian reports errors"

echo "== desktop entry and AppStream metadata, as packed"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$app_id.metainfo.xml"

echo "== install"
# The package's own dependencies come from the archive; none of them
# should need more than what building it already installed.
if dpkg-query -W -f='${Status}' talvo4 2>/dev/null | grep -q "install ok installed"; then
    fail "talvo4 is already installed; remove it first (apt-get purge talvo4)"
fi
installed=1
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o Dpkg::Use-Pty=0 "$(realpath "$deb")"

for f in /usr/bin/talvo4 /usr/lib/udev/rules.d/70-talvo4.rules \
    "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml" \
    "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
    "/usr/share/icons/hicolor/48x48/apps/$app_id.png" \
    /usr/share/man/man1/talvo4.1.gz /usr/share/doc/talvo4/copyright; do
    [ -e "$f" ] || fail "missing after install: $f"
done
[ "$(command -v talvo4)" = /usr/bin/talvo4 ] || fail "talvo4 is not the installed one"
# The window needs no device to come up: it stays open until it is closed,
# so still running when stopped is the pass.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 talvo4 || status=$?
[ "$status" = 124 ] || fail "talvo4 ended by itself with status $status"

# The terminal tool is part of the package from the moment it is part of
# the source.
if [ -d cli ]; then
    if [ -e packaging/talvo4ctl.1 ]; then
        [ -e /usr/share/man/man1/talvo4ctl.1.gz ] || fail "talvo4ctl's manual page is missing"
    fi
    [ "$(command -v talvo4ctl)" = /usr/bin/talvo4ctl ] || fail "talvo4ctl is not installed"
    for f in /usr/share/bash-completion/completions/talvo4ctl \
        /usr/share/zsh/vendor-completions/_talvo4ctl \
        /usr/share/fish/vendor_completions.d/talvo4ctl.fish; do
        [ -f "$work/root$f" ] || fail "talvo4ctl's completion is not in the package at $f"
    done
    talvo4ctl --version
    talvo4ctl --simulate capture -o "$work/capture.png"
    file "$work/capture.png" | grep -q 'PNG image data' || fail "the capture is not a PNG"
fi

echo "== remove"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq -o Dpkg::Use-Pty=0 talvo4
installed=0
for f in /usr/bin/talvo4 /usr/bin/talvo4ctl /usr/lib/udev/rules.d/70-talvo4.rules; do
    [ ! -e "$f" ] || fail "left behind after removal: $f"
done
echo "package-check: passed"
