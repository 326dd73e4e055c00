#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing; silent when all are there.
#
#   scripts/setup.sh         the host build (compiler, CMake, Eigen, GLM, gflags, GoogleTest,
#                            Google Benchmark; the sanitizers' runtimes come with the compiler;
#                            the mesh-file library and libpng for the command line; clang-format
#                            for the format check)
#   scripts/setup.sh --arm   also the 32-bit ARM cross build: Debian's cross compiler, qemu-arm,
#                            and the armhf builds of the libraries unpacked into SOLVO_ARMHF_ROOT
#                            (default /opt/solvo-armhf, the root cmake/armhf-toolchain.cmake reads)
set -euo pipefail

arm=false
for arg in "$@"; do
  case "$arg" in
    --arm) arm=true ;;
    *) echo "usage: $0 [--arm]" >&2; exit 2 ;;
  esac
done

sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
apt_updated=false
apt_update() {
  if ! $apt_updated; then
    "${sudo_cmd[@]}" apt-get update -qq
    apt_updated=true
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

install_missing() {
  local missing=()
  for package in "$@"; do
    installed "$package" || missing+=("$package")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    apt_update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
}

# The libraries, built for the host and (unpacked) for armhf; the armhf set is pinned to the
# host's versions so both builds compile against the same headers.
libraries=(libeigen3-dev libglm-dev libgflags-dev libgtest-dev libgmock-dev libbenchmark-dev
           libassimp-dev libpng-dev)
install_missing cmake g++ make pkg-config clang-format "${libraries[@]}"

if ! $arm; then
  exit 0
fi

install_missing gcc-arm-linux-gnueabihf g++-arm-linux-gnueabihf qemu-user

# Each library with its runtime package, as "package:architecture=host package that fixes the
# version" (runtime packages are not necessarily installed on the host: their -dev package is).
armhf_packages=(libeigen3-dev:all=libeigen3-dev libglm-dev:all=libglm-dev
                libgflags-dev:armhf=libgflags-dev libgflags2.2:armhf=libgflags-dev
                libgtest-dev:armhf=libgtest-dev libgmock-dev:armhf=libgmock-dev
                libbenchmark-dev:armhf=libbenchmark-dev
                libbenchmark1debian:armhf=libbenchmark-dev)
root=${SOLVO_ARMHF_ROOT:-/opt/solvo-armhf}
wanted=()
for entry in "${armhf_packages[@]}"; do
  package=${entry%%=*}
  version=$(dpkg-query -W -f='${Version}' "${entry#*=}")
  wanted+=("${package%:all}=$version")
done
if [[ -f $root/.packages ]] && [[ "$(cat "$root/.packages")" == "$(printf '%s\n' "${wanted[@]}")" ]]
then
  exit 0
fi

echo "unpacking the armhf libraries into $root"
if ! dpkg --print-foreign-architectures | grep -qx armhf; then
  "${sudo_cmd[@]}" dpkg --add-architecture armhf
  apt_updated=false
fi
# A package list that predates the armhf architecture has no armhf entries.
apt-cache show libgflags-dev:armhf >/dev/null 2>&1 || apt_updated=false
apt_update
downloads=$(mktemp -d)
trap 'rm -rf "$downloads"' EXIT
chmod a+rwx "$downloads"  # apt fetches as its own unprivileged user
(cd "$downloads" && apt-get download -qq "${wanted[@]}" 2>&1 |
   grep -v '^W: Download is performed unsandboxed' || true)
if (($(find "$downloads" -name '*.deb' | wc -l) != ${#wanted[@]})); then
  echo "could not download every armhf package: ${wanted[*]}" >&2
  exit 1
fi
"${sudo_cmd[@]}" rm -rf "$root"
"${sudo_cmd[@]}" mkdir -p "$root"
for deb in "$downloads"/*.deb; do
  "${sudo_cmd[@]}" dpkg-deb -x "$deb" "$root"
done
printf '%s\n' "${wanted[@]}" | "${sudo_cmd[@]}" tee "$root/.packages" >/dev/null
