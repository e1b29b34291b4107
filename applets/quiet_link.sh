#!/bin/sh
# Link launcher for the applet images. Their dynamic sections are allocated (ld needs them
# so for -pie) but deliberately in no PT_LOAD segment: the loader reads the relocation table
# from the file and never maps it. ld warns about each such section on every link; this drops
# exactly those warnings and passes everything else, and the exit status, through.
out=$("$@" 2>&1)
rc=$?
printf '%s\n' "$out" |
  grep -v -E "warning: allocated section \`\.(dynamic|hash|dynsym|dynstr|got|rel\.dyn)' not in segment" |
  grep -v '^$' >&2
exit $rc
