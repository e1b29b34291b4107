#!/usr/bin/env bash
# The kit's main job: installs what is missing, builds everything (elfslim, the simulator and
# the ARM applets), reduces the clock plugin's image with elfslim, printing the header dump and
# the size report, then runs the reduced image in the phone simulator and shows the task list
# before and after a minute passes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"

images="$root/build/applets"
echo
echo "== elfslim $images/nimbrel_clock.elf"
"$root/build/strip/elfslim" "$images/nimbrel_clock.elf"
echo
echo
echo "== applet images, full and reduced"
for name in nimbrel_clock nimbrel_ram; do
  printf '  %-14s %5d bytes -> %4d bytes\n' "$name" \
    "$(stat -c %s "$images/$name.elf")" "$(stat -c %s "$images/${name}_new.elf")"
done
echo
echo "== phonesim $images/nimbrel_clock_new.elf tasklist advance 60s tasklist end 1"
"$root/build/phonesim/phonesim" "$images/nimbrel_clock_new.elf" tasklist advance 60s tasklist end 1
