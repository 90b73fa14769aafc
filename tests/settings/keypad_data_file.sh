#!/bin/sh
# The keypad console saves what it was told and a fresh console that loads the file lists the
# same: many stores, the listings of every group and --save; then --load and the same listings.
# The file holds a header and 7666 records of 192 bytes.
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
# The factory values of *082, *165, *166 and *9525 show in a form that their stores refuse when
# typed back (or that a later command of the file overwrites), so those lines may differ.
known="(082|165|166|9525)"
if diff -u "$dir/first" "$dir/second" | grep '^[-+][*]' | grep -Ev "^[-+][*]$known"; then
  exit 1
fi
