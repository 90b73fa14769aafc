#!/bin/sh
# Every settings page filled on one image must come out byte for byte as the golden digests say
# (made before the fill was reworked for speed); a change that moves a page's bytes regenerates
# the digests in the same commit and says why.
#   page_fills.sh QZS_KEYPAD HTML_DIR GOLDEN
set -eu
keypad=$1 pages=$2 golden=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  echo '*0021#'
  echo '*1001#'
  echo '*500011234#'
  for page in $(ls "$pages"); do echo "FILL $page $work/$page"; done
} | (cd "$(dirname "$pages")" && "$keypad") >/dev/null
(cd "$work" && for page in $(ls); do printf '%s %s\n' "$page" "$(cksum < "$page")"; done) |
  diff -u "$golden" -
