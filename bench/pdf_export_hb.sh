#!/bin/sh
# Renders the text of bench_pdf_export (54 x 60 lines of 40 characters: JIS level-1 kanji in
# order, hiragana, katakana, ASCII, half-width kana, repeated) with hb-view into one PDF (cairo:
# one run, one subset of IPAGothic), and prints its time and size beside our export's. Run from
# the source tree after building: bench/pdf_export_hb.sh [BUILD_DIR]   (default build/release)
set -eu
build=${1:-build/release}
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

/usr/bin/python3 - "$out/text.txt" <<'PY'
import sys
chars = []
for lead in range(0x88, 0x99):
    for trail in range(0x40, 0xFD):
        code = lead << 8 | trail
        if code < 0x889F or code > 0x9872 or trail == 0x7F:
            continue
        try:
            chars.append(bytes([lead, trail]).decode("cp932"))
        except UnicodeDecodeError:
            pass
chars += [chr(c) for c in range(0x3041, 0x3094)]
chars += [chr(c) for c in range(0x30A1, 0x30F7)]
chars += [chr(c) for c in range(0x21, 0x7F)]
chars += [chr(c) for c in range(0xFF61, 0xFFA0)]
lines, at = [], 0
for _ in range(54 * 60):
    lines.append("".join(chars[(at + k) % len(chars)] for k in range(40)))
    at += 40
with open(sys.argv[1], "w", encoding="utf-8") as f:
    f.write("\n".join(lines) + "\n")
print(f"{len(set(chars))} distinct characters", file=sys.stderr)
PY

t0=$(date +%s%N)
hb-view --output-format=pdf --font-file="$font" --font-size=14 --text-file="$out/text.txt" \
  --output-file="$out/hb.pdf"
t1=$(date +%s%N)
echo "hb-view: $(( (t1 - t0) / 1000000 )) ms, $(stat -c %s "$out/hb.pdf") bytes"
if [ -x "$build/bench/bench_pdf_export" ]; then
  "$build/bench/bench_pdf_export"
fi
