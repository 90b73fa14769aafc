#!/usr/bin/env bash
# Runs the C host against the private scheduler: its environment comes from the file the
# cups_queue fixture writes. With "print" or "kpcif" (ENGINE is then the interface library) the
# document that reached the queue is checked too.
#   run_c_host.sh HOST ENGINE CONTROLS REPORT CUPS_ENV [print|kpcif]
set -euo pipefail
host=$1 engine=$2 controls=$3 report=$4 env=$5 mode=${6:-}
set -a
. "$env"
set +a
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
before=$(ls "$QZS_CUPS_OUT" | wc -l)
"$host" "$engine" "$controls" "$report" "$work/out.pdf" $mode
[ -n "$mode" ] || exit 0
# The three pages arrive as one document, text and all.
for _ in $(seq 1 300); do
    [ "$(ls "$QZS_CUPS_OUT" | wc -l)" -gt "$before" ] && break
    sleep 0.1
done
sleep 0.2
doc=$(ls -t "$QZS_CUPS_OUT"/* | head -n 1)
[ "$(ls "$QZS_CUPS_OUT" | wc -l)" -gt "$before" ] || { echo "FAILED: nothing printed" >&2; exit 1; }
pages=$(pdfinfo "$doc" | awk '/^Pages:/ {print $2}')
[ "$pages" = 3 ] || { echo "FAILED: $doc has $pages pages, want 3" >&2; exit 1; }
[ "$(pdftotext "$doc" - | grep -c 'KORVA C HOST')" = 3 ] ||
    { echo "FAILED: the printed text is not on every page" >&2; exit 1; }
