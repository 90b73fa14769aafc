#!/bin/sh
# qzs-sheets: the keypad lines answered as qzs-keypad answers them, then the sheets of that image
# into one PDF, the plain text road's answer for a kind it does not know, and its usage errors.
# Arguments: qzs-sheets, qzs-keypad, the folder holding QzSReport/.
set -u
sheets="$1"
keypad="$2"
layouts="$3"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

printf '// a store, a read, a reset question and a missing block\n*0001234#\n@3.21&10\n*00799#\n@180.0\nLIST 2\n' > "$dir/in"
"$keypad" < "$dir/in" > "$dir/keypad.out" || fail "qzs-keypad"

# Every kind, in order, into one file; the console's lines come first, unchanged.
"$sheets" --start-dir "$layouts" --date 2026-03-09 --pdf "$dir/all.pdf" < "$dir/in" > "$dir/all.out" ||
  fail "--pdf exit $?"
lines=$(wc -l < "$dir/keypad.out")
head -n "$lines" "$dir/all.out" | diff -u "$dir/keypad.out" - || fail "console output differs"
printf 'kind 0: 54 pages\nkind 1: 15 pages\nkind 2: 6 pages\nkind 3: 10 pages\n' > "$dir/kinds"
tail -n +"$((lines + 1))" "$dir/all.out" | diff -u "$dir/kinds" - || fail "page counts"
qpdf --check "$dir/all.pdf" > /dev/null || fail "qpdf --check"
test "$(qpdf --show-npages "$dir/all.pdf")" = 85 || fail "not 85 pages"
# The session's store is on the sheets, with the date given.
pdftotext -f 1 -l 1 "$dir/all.pdf" - | grep -q '000=1234' || fail "the store is not on page 1"
pdftotext -f 1 -l 1 "$dir/all.pdf" - | grep -q '2026年03月09日' || fail "the date"

# Kinds as given, in the order given, after the lines; a loaded data file is the console's image.
printf '*0005678#\n' | "$keypad" --save "$dir/data.qzdat" > /dev/null || fail "--save"
printf '*000#\n' | "$sheets" --start-dir "$layouts" --load "$dir/data.qzdat" --kind 2 --kind 1 \
  --pdf "$dir/two.pdf" > "$dir/two.out" || fail "--kind exit $?"
printf '000=5678c\nkind 2: 6 pages\nkind 1: 15 pages\n' | diff -u - "$dir/two.out" || fail "--kind"
test "$(qpdf --show-npages "$dir/two.pdf")" = 21 || fail "not 21 pages"

# No layouts: the pages were not output, and no file is left, not even an empty document or a
# temporary; a file already at that name keeps its bytes.
mkdir "$dir/empty"
"$sheets" --start-dir "$dir/empty" --kind 1 --pdf "$dir/none.pdf" < /dev/null > /dev/null 2>&1
test $? -eq 1 || fail "missing layouts do not exit 1"
for f in "$dir"/none.pdf*; do
  test -e "$f" && fail "a failed run left $f"
done
printf 'older' > "$dir/kept.pdf"
"$sheets" --start-dir "$dir/empty" --pdf "$dir/kept.pdf" < /dev/null > /dev/null 2>&1
test $? -eq 1 || fail "missing layouts do not exit 1 over an older file"
test "$(cat "$dir/kept.pdf")" = older || fail "a failed run replaced the older file"
test "$(ls "$dir" | grep -c '^kept\.pdf')" -eq 1 || fail "a failed run left a temporary beside kept.pdf"

# The plain text road: a kind it does not know answers 2 and nothing was printed.
out=$(printf '@0.1\n' | "$sheets" --direct 3 2> /dev/null)
code=$?
test "$out" = "$(printf '0.1=5A\n2')" || fail "--direct 3 printed: $out"
test "$code" -eq 1 || fail "--direct 3 exit $code"

# Usage errors and refused lines exit 2.
for args in "" "--print --direct 1" "--pdf" "--kind 4 --print" "--kind 1 --direct 1" \
  "--date 2026-02-30 --print" "--direct x" "--bogus"; do
  # shellcheck disable=SC2086
  "$sheets" $args < /dev/null > /dev/null 2>&1
  code=$?
  test "$code" -eq 2 || fail "'$args' exit $code"
done
printf '@x\n' | "$sheets" --direct 3 > /dev/null 2>&1
test $? -eq 2 || fail "a refused line does not exit 2"
exit 0
