#!/usr/bin/env bash
# Installs the Debian 12 packages the tool, its demo and its tests need,
# skipping the update when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev libgl-dev libhidapi-dev
    fonts-ipafont-gothic
    libudev-dev umockdev libumockdev-dev
    clang libclang-rt-14-dev clang-tidy
    xvfb xauth imagemagick xdotool xclip
    dbus dbus-daemon at-spi2-core python3-pyatspi
    dpkg-dev file librsvg2-bin lintian desktop-file-utils appstream
    zsh fish bash-completion locales
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# Key names must match under a Turkish locale too, where I lowers to a
# dotless i; remote_key_test runs under it where it exists.
turkish_locale() {
    locale -a 2>/dev/null | grep -qix 'tr_TR\.utf-\?8' ||
        $sudo localedef -i tr_TR -f UTF-8 tr_TR.UTF-8 || echo "no tr_TR.UTF-8 locale: its test is skipped"
}

if [ ${#missing[@]} -eq 0 ]; then
    turkish_locale
    exit 0
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
turkish_locale
