#!/bin/sh
# Times hb-subset (Debian libharfbuzz-bin) with --retain-gids, which keeps glyph numbers as our
# subsetter does, on the characters of bench_ttf_subset (one data-sheet page, IPAGothic), and
# prints its time per subset and output size beside ours. Run from the source tree after
# building: bench/ttf_subset_hb.sh [BUILD_DIR]   (default build/release)
#
# hb-subset -n N repeats the subsetting N times on a face it has loaded once; the difference
# between N+1 and 1 repetitions, divided by N, leaves out its start-up and file loading.
set -eu
build=${1:-build/release}
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
text=tests/fixtures/fonts/datasheet.txt
n=200
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# The same characters: the text without its line ends.
tr -d '\n\r' < "$text" > "$out/text.txt"

ns() { date +%s%N; }
t0=$(ns); hb-subset --retain-gids --font-file="$font" --text-file="$out/text.txt" \
  --output-file="$out/hb.ttf" -n 1; t1=$(ns)
hb-subset --retain-gids --font-file="$font" --text-file="$out/text.txt" \
  --output-file="$out/hb.ttf" -n $((n + 1)); t2=$(ns)
per=$(( ((t2 - t1) - (t1 - t0)) / n ))
echo "hb-subset --retain-gids: $((per / 1000)) us per subset, $(stat -c %s "$out/hb.ttf") bytes"

if [ -x "$build/tools/qzs-ttfsubset" ]; then
  "$build/tools/qzs-ttfsubset" "$font" "$out/text.txt" "$out/qzs.ttf" 2>/dev/null
  echo "qzs subset: $(stat -c %s "$out/qzs.ttf") bytes"
fi
if [ -x "$build/bench/bench_ttf_subset" ]; then
  "$build/bench/bench_ttf_subset" --benchmark_filter=BM_SubsetIpaGothicPage
fi
