#!/usr/bin/env bash
# Installs everything the build, the tests, the fuzzer and the benchmarks need on a fresh Debian
# machine. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build make             # host build
  libgtest-dev libgmock-dev              # unit tests
  libbenchmark-dev time                  # benchmarks (/usr/bin/time -v for peak RSS)
  clang libclang-rt-14-dev               # libFuzzer and sanitizer runtimes
  gcc-arm-none-eabi binutils-arm-none-eabi   # the applets' cross toolchain
  libunicorn-dev                         # ARM CPU emulator behind the phone simulator
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
