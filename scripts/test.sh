#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; then, unless KIT_QUICK=1,
# builds the same tests with AddressSanitizer and UndefinedBehaviorSanitizer and runs them again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)"

if [ "${KIT_QUICK:-0}" != 1 ]; then
  "$root/scripts/build.sh" "$root/build-asan" -DKIT_SANITIZE=ON
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$(nproc)"
fi
