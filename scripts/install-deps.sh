#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: cross compilers, Wine (64-bit),
# GoogleTest sources, toml++, clang for fuzzing, and the tools of the end-to-end tests.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64
  googletest libtomlplusplus-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
  openjdk-17-jdk-headless
  osslsigncode openssl xvfb xdotool
  libstb-dev icoutils
)

# --list prints the package names, one a line, for the dependency check.
if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
