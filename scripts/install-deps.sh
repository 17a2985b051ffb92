#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and
# the zh_CN.UTF-8 locale that gives wine the code page 936. Safe to re-run.
# fonts-wine gives wine the fonts Windows has (System, Tahoma, Marlett, MS Sans
# Serif), so that the fields and the warning box draw as they do on Windows.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  mingw-w64 binutils-mingw-w64
  googletest libgtest-dev libbenchmark-dev
  wine wine64 xvfb xdotool x11-utils imagemagick
  locales fonts-arphic-uming fonts-wine python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: need root to install: ${missing[*]}" >&2
    exit 1
  fi
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: need root to generate the zh_CN.UTF-8 locale" >&2
    exit 1
  fi
  sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi
