#!/usr/bin/env bash
# The kit's main job on its default example: installs what is missing, builds everything, and
# reduces an applet image with elfslim, printing the header dump and the size report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"

example="$root/build/examples/alarm_layout.elf"
echo "== elfslim $example"
"$root/build/strip/elfslim" "$example"
echo
