#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Unless KIT_QUICK=1, it then
# runs the host tests twice more: built with AddressSanitizer and UndefinedBehaviorSanitizer,
# and built with clang together with a short libFuzzer run over elfslim's reader and writer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)"

if [ "${KIT_QUICK:-0}" != 1 ]; then
  "$root/scripts/build.sh" "$root/build-asan" -DKIT_SANITIZE=ON
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$(nproc)"

  CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DKIT_FUZZ=ON -DKIT_APPLETS=OFF
  ctest --test-dir "$root/build-fuzz" --output-on-failure -j "$(nproc)"
fi
