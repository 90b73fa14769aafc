#!/bin/sh
# The keypad console saves what it was told and a fresh console that loads the file lists the
# same: many stores, the listings of every group and --save; then --load and the same listings.
# The file holds a header and 7666 records of 192 bytes. An untouched image saved, loaded and
# saved again gives the same file byte for byte.
set -eu
keypad="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
{
  printf '*0001234#\n*0011102#\n*03010105  12#\n*10106#1#\n*180104#06#1#\n*9308010312345678#\n'
  for g in 0 1 2 3 4 5 6 7 8 9; do echo "LIST $g"; done
} > "$dir/in"
"$keypad" --save "$dir/data.qzdat" < "$dir/in" | grep -v '^[*0-9].*P$' | grep -v '^--' > "$dir/first"
for g in 0 1 2 3 4 5 6 7 8 9; do echo "LIST $g"; done | "$keypad" --load "$dir/data.qzdat" > "$dir/second"
size=$(wc -c < "$dir/data.qzdat")
test "$size" -eq $((192 * 7667)) || { echo "file of $size bytes"; exit 1; }
grep -q ' 000=1234c' "$dir/second" || { echo "store lost"; exit 1; }
test "$(grep -c '^LIST' "$dir/second")" -eq 10
grep '^[*]' "$dir/first" > "$dir/first.lines"
grep '^[*]' "$dir/second" > "$dir/second.lines"
diff -u "$dir/first.lines" "$dir/second.lines"

# The header's first 12 bytes are the minute of the save: when a minute turned between the two
# saves, the pair is made again (two turns within one second cannot happen).
for attempt in 1 2; do
  "$keypad" --save "$dir/a.qzdat" < /dev/null
  "$keypad" --load "$dir/a.qzdat" --save "$dir/b.qzdat" < /dev/null
  if cmp -s -n 12 "$dir/a.qzdat" "$dir/b.qzdat"; then break; fi
done
cmp "$dir/a.qzdat" "$dir/b.qzdat"
