#!/bin/sh
# Every settings page filled on one image must come out byte for byte as the golden digests say;
# a change that moves a page's bytes regenerates the digests in the same commit and says why.
# The lines after GOLDEN are given to the console first, to make the image (none: the factory
# image).
#   page_fills.sh QZS_KEYPAD HTML_DIR GOLDEN [LINE...]
set -eu
keypad=$1 pages=$2 golden=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  for line in "$@"; do printf '%s\n' "$line"; done
  for page in $(ls "$pages"); do echo "FILL $page $work/$page"; done
} | (cd "$(dirname "$pages")" && "$keypad") >/dev/null
(cd "$work" && for page in $(ls); do printf '%s %s\n' "$page" "$(cksum < "$page")"; done) |
  diff -u "$golden" -
