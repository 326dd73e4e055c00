#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing; silent when all are there.
set -euo pipefail

packages=(cmake g++ make pkg-config libeigen3-dev libglm-dev libgflags-dev libgtest-dev
          libgmock-dev libbenchmark-dev libassimp-dev libpng-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
