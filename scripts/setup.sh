#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing; silent when all are there.
#
#   scripts/setup.sh         the host build (compiler, CMake, Eigen, GLM, gflags, GoogleTest,
#                            Google Benchmark; the sanitizers' runtimes come with the compiler;
#                            the mesh-file library and libpng for the command line; clang-format
#                            for the format check; a JDK and JUnit 5 for the Java binding)
#   scripts/setup.sh --arm   also the 32-bit ARM cross build: Debian's cross compiler, qemu-arm,
#                            and the armhf builds of the libraries unpacked into SOLVO_ARMHF_ROOT
#                            (default /opt/solvo-armhf, the root cmake/armhf-toolchain.cmake reads)
#   scripts/setup.sh --arm64 also the 64-bit ARM cross build: the same for aarch64, with
#                            qemu-aarch64 and the arm64 builds unpacked into SOLVO_ARM64_ROOT
#                            (default /opt/solvo-arm64, the root cmake/aarch64-toolchain.cmake reads)
# Both options may be given together.
set -euo pipefail

arm=false
arm64=false
for arg in "$@"; do
  case "$arg" in
    --arm) arm=true ;;
    --arm64) arm64=true ;;
    *) echo "usage: $0 [--arm] [--arm64]" >&2; exit 2 ;;
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

# The libraries, built for the host (and unpacked for ARM below, at the same versions).
libraries=(libeigen3-dev libglm-dev libgflags-dev libgtest-dev libgmock-dev libbenchmark-dev
           libassimp-dev libpng-dev)
install_missing cmake g++ make pkg-config clang-format "${libraries[@]}"
# The Java binding: javac, jar and the JNI headers (also for the ARM builds' JNI library), and the
# JUnit console launcher its tests run with.
# (The JDK's installer links its manual pages into /usr/share/man/man1, which minimal images
# leave out.)
installed default-jdk-headless || "${sudo_cmd[@]}" mkdir -p /usr/share/man/man1
install_missing default-jdk-headless junit5

# unpack_root ARCHITECTURE ROOT: Debian's ARCHITECTURE builds of the libraries (and the
# architecture-independent Eigen and GLM headers), each with its runtime package, unpacked into
# ROOT. The target's gflags package cannot be installed beside the host's, so the whole set lives
# in a root of its own; it is pinned to the host's versions so every build compiles against the
# same headers. Nothing happens when ROOT already holds exactly these packages.
unpack_root() {
  local architecture=$1 root=$2
  # "package:architecture=host package that fixes the version" (runtime packages are not
  # necessarily installed on the host: their -dev package is).
  local packages=(libeigen3-dev:all=libeigen3-dev libglm-dev:all=libglm-dev
                  "libgflags-dev:$architecture=libgflags-dev"
                  "libgflags2.2:$architecture=libgflags-dev"
                  "libgtest-dev:$architecture=libgtest-dev"
                  "libgmock-dev:$architecture=libgmock-dev"
                  "libbenchmark-dev:$architecture=libbenchmark-dev"
                  "libbenchmark1debian:$architecture=libbenchmark-dev")
  local wanted=() entry package version
  for entry in "${packages[@]}"; do
    package=${entry%%=*}
    version=$(dpkg-query -W -f='${Version}' "${entry#*=}")
    wanted+=("${package%:all}=$version")
  done
  if [[ -f $root/.packages ]] &&
     [[ "$(cat "$root/.packages")" == "$(printf '%s\n' "${wanted[@]}")" ]]; then
    return 0
  fi

  echo "unpacking the $architecture libraries into $root"
  if ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    "${sudo_cmd[@]}" dpkg --add-architecture "$architecture"
    apt_updated=false
  fi
  # A package list that predates the architecture has no entries for it.
  apt-cache show "libgflags-dev:$architecture" >/dev/null 2>&1 || apt_updated=false
  apt_update
  local downloads
  downloads=$(mktemp -d)
  chmod a+rwx "$downloads"  # apt fetches as its own unprivileged user
  (cd "$downloads" && apt-get download -qq "${wanted[@]}" 2>&1 |
     grep -v '^W: Download is performed unsandboxed' || true)
  if (($(find "$downloads" -name '*.deb' | wc -l) != ${#wanted[@]})); then
    echo "could not download every $architecture package: ${wanted[*]}" >&2
    rm -rf "$downloads"
    return 1
  fi
  "${sudo_cmd[@]}" rm -rf "$root"
  "${sudo_cmd[@]}" mkdir -p "$root"
  local deb
  for deb in "$downloads"/*.deb; do
    "${sudo_cmd[@]}" dpkg-deb -x "$deb" "$root"
  done
  printf '%s\n' "${wanted[@]}" | "${sudo_cmd[@]}" tee "$root/.packages" >/dev/null
  rm -rf "$downloads"
}

if $arm; then
  install_missing gcc-arm-linux-gnueabihf g++-arm-linux-gnueabihf qemu-user
  unpack_root armhf "${SOLVO_ARMHF_ROOT:-/opt/solvo-armhf}"
fi
if $arm64; then
  install_missing gcc-aarch64-linux-gnu g++-aarch64-linux-gnu qemu-user
  unpack_root arm64 "${SOLVO_ARM64_ROOT:-/opt/solvo-arm64}"
fi
