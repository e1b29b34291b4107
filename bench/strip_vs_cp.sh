#!/usr/bin/env bash
# Times elfslim against cp and arm-none-eabi-objcopy --strip-all on the same file, side by side
# in one run: a large generated image (MIB mebibytes of load data, default 256, plus a dynamic
# segment with relocations) and the alarm applet layout. Reports the median wall time and the
# peak RSS (/usr/bin/time -v) of each tool, and their ratios to cp. dd (a read/write copy
# through a 1 MiB user buffer) is shown beside them, since cp copies inside the kernel
# (copy_file_range) and never brings the data into its own memory.
#
#   bench/strip_vs_cp.sh [BUILD_DIR] [MIB]      (RUNS=5 by default; build first)
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
mib=${2:-256}
runs=${RUNS:-5}
small_loops=${SMALL_LOOPS:-200}

elfslim="$build/strip/elfslim"
objcopy=$(command -v arm-none-eabi-objcopy || true)
for f in "$elfslim" "$build/bench/make_large_image" "$build/examples/alarm_layout.elf"; do
  [ -e "$f" ] || { echo "missing $f: build $build first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/strip_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/make_large_image" "$mib" "$work/large.elf"
cp "$build/examples/alarm_layout.elf" "$work/alarm.elf"

tools=(elfslim cp dd)
[ -n "$objcopy" ] && tools+=(objcopy)

# Runs one tool on one image under /usr/bin/time -v, output file removed first and dirty pages
# flushed, so that no run pays for another's writeback. Prints "wall_seconds peak_rss_kib".
run_once() {
  local tool=$1 image=$2 out
  case $tool in
    elfslim) out="${image%????}_new.elf"; cmd=("$elfslim" "$image") ;;
    cp) out="$image.cp"; cmd=(cp "$image" "$out") ;;
    dd) out="$image.dd"; cmd=(dd if="$image" of="$out" bs=1M status=none) ;;
    objcopy) out="$image.objcopy"; cmd=("$objcopy" --strip-all "$image" "$out") ;;
  esac
  rm -f "$out"
  sync
  local t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$work/time.txt" "${cmd[@]}" > /dev/null 2>&1
  local t1=$EPOCHREALTIME
  local rss
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  echo "$(calc "$t1 - $t0") $rss"
}

calc() { awk "BEGIN { printf \"%.6f\", $* }"; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

declare -A wall rss
# The tools take turns in every round, so that a slow spell of the machine hits all of them.
run_image() {
  local image=$1
  for tool in "${tools[@]}"; do run_once "$tool" "$image" > /dev/null; done  # warm-up
  for ((r = 0; r < runs; r++)); do
    for tool in "${tools[@]}"; do
      echo "$(run_once "$tool" "$image")" >> "$work/$tool.samples"
    done
  done
  for tool in "${tools[@]}"; do
    wall[$tool]=$(cut -d' ' -f1 "$work/$tool.samples" | median)
    rss[$tool]=$(cut -d' ' -f2 "$work/$tool.samples" | sort -g | tail -1)
    rm -f "$work/$tool.samples"
  done
}

report() {
  local title=$1
  echo "== $title"
  printf '%-8s %10s %12s %10s %10s\n' tool wall_s peak_rss_MiB wall/cp rss/cp
  for tool in "${tools[@]}"; do
    printf '%-8s %10.4f %12.1f %10.2f %10.2f\n' "$tool" "${wall[$tool]}" \
      "$(calc "${rss[$tool]} / 1024")" \
      "$(calc "${wall[$tool]} / ${wall[cp]}")" \
      "$(calc "${rss[$tool]} / ${rss[cp]}")"
  done
}

run_image "$work/large.elf"
load_kib=$((mib * 1024))
report "large image: $(stat -c %s "$work/large.elf") bytes, $mib MiB of load data; median of $runs runs"
printf 'elfslim wall / cp wall: %.2f (target 1.30)\n' "$(calc "${wall[elfslim]} / ${wall[cp]}")"
printf 'elfslim peak RSS: %.1f MiB; load data + 8 MiB: %d MiB (%s)\n' \
  "$(calc "${rss[elfslim]} / 1024")" $((mib + 8)) \
  "$([ "${rss[elfslim]}" -le $((load_kib + 8192)) ] && echo within || echo over)"
echo

run_image "$work/alarm.elf"
report "alarm image: $(stat -c %s "$work/alarm.elf") bytes; median of $runs runs"
# A single small run is mostly process start-up; a loop shows the per-run cost more steadily.
echo "per run over a loop of $small_loops (no sync, output overwritten):"
for tool in "${tools[@]}"; do
  case $tool in
    elfslim) cmd=("$elfslim" "$work/alarm.elf") ;;
    cp) cmd=(cp "$work/alarm.elf" "$work/alarm.elf.cp") ;;
    dd) cmd=(dd if="$work/alarm.elf" of="$work/alarm.elf.dd" bs=1M status=none) ;;
    objcopy) cmd=("$objcopy" --strip-all "$work/alarm.elf" "$work/alarm.elf.objcopy") ;;
  esac
  t0=$EPOCHREALTIME
  for ((i = 0; i < small_loops; i++)); do "${cmd[@]}" > /dev/null 2>&1; done
  t1=$EPOCHREALTIME
  printf '  %-8s %8.3f ms\n' "$tool" "$(calc "($t1 - $t0) * 1000 / $small_loops")"
done
