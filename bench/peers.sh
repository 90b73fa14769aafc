#!/bin/sh
# The measures that have a peer, in one run, as ratios (the machine may be shared, so only ratios
# in the same run mean anything):
#   - a settings page filled and served per request by the program's server (qzs-keypad --serve)
#     against nginx serving the same filled bytes, and a static page with "Connection: close" at
#     100 parallel clients, both under wrk (requests/s, p99, refused connects);
#   - the data sheets to PDF end to end (qzs-sheets --pdf, 85 pages) against hb-view setting the
#     same text with the same font into a PDF.
# Run from the source tree after building: bench/peers.sh [BUILD_DIR] [SECONDS]
set -eu
build=$(cd "${1:-build/release}" && pwd)
seconds=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
keypad=$build/tools/qzs-keypad
sheets=$build/tools/qzs-sheets
pages=$build/tools/HTMLFiles
font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
for tool in wrk nginx hb-view pdftotext; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || { echo "peers.sh: $tool is missing" >&2; exit 1; }
done
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
work=$(mktemp -d)
server_pid= nginx_pid=
# The static page: the filled bytes as a file of the program's own root, so that both servers
# send a file as it stands (the settings page itself is filled per request by the program).
static=qzs-peers-$$.html
cleanup() {
  exec 9>&- 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -f "$pages/$static"
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() {
  for _ in $(seq 100); do
    /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),0.2)" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "peers.sh: nothing listens on $1" >&2; exit 1
}
# wrk's summary as "rate p99 errors": requests/s, the 99th percentile latency, socket errors.
measure() {  # url, connections, extra wrk arguments...
  url=$1 connections=$2; shift 2
  wrk -t2 -c"$connections" -d"${seconds}s" --latency "$@" "$url" >"$work/wrk.txt" 2>&1 || true
  rate=$(awk '/Requests\/sec/ {print $2}' "$work/wrk.txt")
  p99=$(awk '$1=="99%" {print $2}' "$work/wrk.txt")
  errors=$(awk '/Socket errors/ {gsub(",",""); print $4+$6+$8+$10}' "$work/wrk.txt")
  echo "${rate:-0} ${p99:-?} ${errors:-0}"
}
# Of two "rate p99 errors" lines, the one with the higher rate, with both lines' errors added.
best() {
  [ -z "$1" ] && { echo "$2"; return; }
  echo "$1 $2" | awk '{ e = $3 + $6; if ($4 > $1) print $4, $5, e; else print $1, $2, e }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.0f%%", 100 * a / b; else print "-" }'; }

page=01hosyu_01m.html
mkdir -p "$work/root" "$work/nginx"
# The bytes the program serves for the page on a fresh image, for nginx to serve as they stand.
(cd "$build/tools" && echo "FILL $page $work/root/$page" | "$keypad" >/dev/null)
cp "$work/root/$page" "$work/root/$static"
cp "$work/root/$page" "$pages/$static"

server_port=$(free_port)
# The console serves until its input ends: its input is a FIFO this script holds open.
mkfifo "$work/input"
(cd "$build/tools" && exec "$keypad" --serve "$server_port") <"$work/input" >"$work/server.log" 2>&1 &
server_pid=$!
exec 9>"$work/input"
nginx_port=$(free_port)
sed -e "s#@ROOT@#$work/root#g" -e "s#@PORT@#$nginx_port#g" -e "s#@DIR@#$work/nginx#g" \
  "$here/nginx.conf.in" >"$work/nginx/nginx.conf"
"$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" </dev/null >"$work/nginx.log" 2>&1 &
nginx_pid=$!
wait_port "$server_port"
wait_port "$nginx_port"

echo "cores $(nproc), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-40s %12s %12s %8s\n' "measure" "program" "nginx" "ratio"
for row in "settings page, keep-alive, 8 clients|8||$page" \
           "static page, Connection: close, 100 clients|100|close|$static"; do
  name=${row%%|*} rest=${row#*|} connections=${rest%%|*} rest=${rest#*|}
  close=${rest%%|*} file=${rest#*|}
  set --
  [ "$close" = close ] && set -- -H "Connection: close"
  # Three rounds, the two servers taking turns; each side's best round counts, and the socket
  # errors of every round are added up, so that a refused connect in any round shows.
  ours= theirs=
  for round in 1 2 3; do
    ours=$(best "$ours" "$(measure "http://127.0.0.1:$server_port/$file" "$connections" "$@")")
    theirs=$(best "$theirs" "$(measure "http://127.0.0.1:$nginx_port/$file" "$connections" "$@")")
  done
  printf '%-40s %12s %12s %8s\n' "$name req/s" "${ours%% *}" "${theirs%% *}" "$(ratio "${ours%% *}" "${theirs%% *}")"
  printf '%-40s %12s %12s\n' "  p99, socket errors" "$(echo "$ours" | cut -d' ' -f2,3)" "$(echo "$theirs" | cut -d' ' -f2,3)"
done

# The sheets: our whole road, then hb-view on the text the PDF holds, same font, same run. Each
# side runs five times and its fastest run counts: one run of a third of a second says more of
# the machine's other work than of either program.
ms_now() { echo $(( $(date +%s%N) / 1000000 )); }
ours= theirs=
for round in 1 2 3 4 5; do
  start=$(ms_now)
  printf '' | "$sheets" --start-dir "$build/tools" --pdf "$work/sheets.pdf" >/dev/null
  took=$(( $(ms_now) - start ))
  if [ -z "$ours" ] || [ "$took" -lt "$ours" ]; then ours=$took; fi
  if [ "$round" -eq 1 ]; then pdftotext -layout "$work/sheets.pdf" "$work/sheets.txt"; fi
  start=$(ms_now)
  hb-view --output-format=pdf --font-file="$font" --font-size=10 --text-file="$work/sheets.txt" \
    --output-file="$work/hb.pdf"
  took=$(( $(ms_now) - start ))
  if [ -z "$theirs" ] || [ "$took" -lt "$theirs" ]; then theirs=$took; fi
done
printf '%-40s %10s ms %10s ms %8s\n' "sheets to PDF (hb-view peer)" "$ours" "$theirs" \
  "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else print "-" }')"
