#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds, and then either starts the program or runs every test.
#   scripts/qzs.sh run    build and start the program (korva-qzs; needs a display)
#   scripts/qzs.sh test   build and run all tests (release -Werror build, every test under ASan+UBSan,
#                         the threaded ones under TSan, then the fuzzers)
set -euo pipefail
mode=${1:-}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libfreetype-dev libfontconfig-dev libcups2-dev
  clang libclang-rt-14-dev
  fontconfig fonts-ipafont-gothic fonts-ipafont-mincho fonts-vlgothic fonts-droid-fallback fonts-dejavu-core fonts-dejavu-extra
  poppler-data poppler-utils opentype-sanitizer python3 python3-fonttools libharfbuzz-bin qpdf
  qt6-base-dev xvfb xauth curl wrk nginx-light emf2svg libxml2-dev libxml2-utils chromium nodejs
  cups-daemon cups-ipp-utils poppler-utils dbus-daemon
  ppp iproute2
  openbox x11-utils xdotool qt6-translations-l10n
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# CI sets CI=true: then a missing real component (browser, playwright-core, cupsd, Xvfb) fails the
# run instead of letting its tests skip. Elsewhere the browser tests skip and say why.
ci=false
[ "${CI:-}" = "true" ] && ci=true

# The browser tests drive Debian's Chromium through playwright-core from the npm registry, kept
# outside the clone beside the compiler cache (never a browser download of its own).
install_node_modules() {
  local dir=${XDG_CACHE_HOME:-$HOME/.cache}/korva-qzs/node
  [ -d "$dir/node_modules/playwright-core" ] && return 0
  local why=""
  if ! command -v npm >/dev/null; then
    why="npm is missing"
  else
    mkdir -p "$dir"
    (cd "$dir" && npm install --silent --no-audit --no-fund playwright-core@1) ||
      why="playwright-core could not be installed"
  fi
  [ -z "$why" ] && return 0
  if $ci; then
    echo "$why: CI=true needs the browser tests" >&2
    return 1
  fi
  echo "$why: the browser tests will be skipped"
}

# The real components the tests start, checked up front so that CI stops before the builds.
require_components() {
  $ci || return 0
  local missing=()
  [ -x /usr/bin/chromium ] || missing+=(chromium)
  command -v node >/dev/null || missing+=(nodejs)
  [ -d "${XDG_CACHE_HOME:-$HOME/.cache}/korva-qzs/node/node_modules/playwright-core" ] ||
    missing+=(playwright-core)
  command -v cupsd >/dev/null || [ -x /usr/sbin/cupsd ] || missing+=(cupsd)
  command -v Xvfb >/dev/null || missing+=(Xvfb)
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "CI=true and missing: ${missing[*]}" >&2
  return 1
}

jobs=$(nproc)
# The cache lives outside the clone so that a fresh clone on the same machine (CI) builds warm;
# CCACHE_BASEDIR makes the clone's absolute paths relative so the hits carry across clones.
export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/korva-qzs/ccache}
export CCACHE_BASEDIR=$root
export CCACHE_NOHASHDIR=1

configure_build() {  # dir, extra cmake args... [-- extra build args...]
  local dir=$1; shift
  local args=() build_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; build_args=("$@"); }
  cmake -S "$root" -B "$dir" -G Ninja "${args[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" "${build_args[@]}"
  if command -v ccache >/dev/null; then
    echo "ccache ($dir): $(ccache --print-stats 2>/dev/null | awk -F'\t' '$1=="direct_cache_hit"||$1=="preprocessed_cache_hit"{h+=$2} $1=="cache_miss"{m+=$2} END{if(h+m>0) printf "%d hits, %d misses, %.0f%% hit rate", h, m, 100*h/(h+m); else print "no compilations"}')"
    ccache --zero-stats >/dev/null 2>&1 || true
  fi
}

case "$mode" in
  run)
    install_missing
    configure_build build/run -DCMAKE_BUILD_TYPE=Release -DQZS_TESTS=OFF -DQZS_BENCH=OFF
    # The program runs from the folder where the build stages it with its pages and layouts;
    # that folder is its start directory. Without a display it says so (use xvfb-run).
    cd build/run/bin
    exec ./korva-qzs
    ;;
  test)
    install_missing
    install_node_modules
    require_components
    echo "== Release build (warnings as errors): libraries, program, tools, benchmarks"
    # The tests are built and run once, under the sanitizers below; the release tree is here for
    # the -O2 warnings and for what only makes sense optimised (benchmarks, tools as shipped).
    configure_build build/release -DCMAKE_BUILD_TYPE=Release -DQZS_WERROR=ON -DQZS_TESTS=OFF

    echo "== AddressSanitizer + UndefinedBehaviorSanitizer build (clang): every test and the fuzz targets"
    export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
    # One sanitizer tree serves the tests and the fuzzers: libFuzzer needs clang and coverage
    # instrumentation of what it links, and a second tree of the same libraries for it alone cost
    # CI as much as this one. clang also compiles these files faster than GCC; GCC's -O2 warnings
    # are the release tree's above. Line tables only (-g1): the reports keep their file and line
    # for far less compile time than full debug information.
    san_flags=("-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
    CC=clang CXX=clang++ configure_build build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo "${san_flags[@]}" \
      -DQZS_WERROR=ON -DQZS_SANITIZE=ON -DQZS_FUZZ=ON -DQZS_BENCH=OFF
    (cd build/asan && ctest --output-on-failure -j "$jobs" --timeout 900)

    echo "== ThreadSanitizer: the threaded tests"
    # Only the programs whose threads share state (server, socket, application lock, presenters,
    # the print thread, the cancel dialog, the event sinks): the whole suite under TSan would cost
    # CI far more than it finds. The canary races on purpose: a tree that reports nothing there
    # is not instrumented, and the step fails.
    tsan_tests=(net_test_tcp_socket net_test_http_server net_test_http_message
      net_test_forged_requests programming_test_image_state
      settings_test_command_bridge app_test_presenters app_test_data_file_services
      engine_test_printer_job
      engine_test_cancel_dialog engine_test_sinks)
    CC=clang CXX=clang++ cmake -S "$root" -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${san_flags[@]}" \
      -DQZS_WERROR=ON -DQZS_TSAN=ON -DQZS_BENCH=OFF >/dev/null
    cmake --build build/tsan -j "$jobs" --target tsan_canary "${tsan_tests[@]%%:*}"
    scripts/tsan_step.sh build/tsan "${tsan_tests[@]}"

    fuzzers=()
    for f in build/asan/tests/fuzz/fuzz_*; do
      if [ -x "$f" ]; then fuzzers+=("$f"); fi
    done
    # All targets share one budget in CI, split evenly; QZS_FUZZ_SECONDS gives each target
    # that many seconds instead, for longer runs on demand.
    budget=360
    if [ -n "${QZS_FUZZ_SECONDS:-}" ]; then
      seconds=$QZS_FUZZ_SECONDS
      echo "== Fuzzers (ASan+UBSan, ${seconds} s each)"
    else
      seconds=$(( budget / (${#fuzzers[@]} > 0 ? ${#fuzzers[@]} : 1) ))
      [ "$seconds" -ge 1 ] || seconds=1
      echo "== Fuzzers (ASan+UBSan, ${budget} s shared: ${seconds} s each for ${#fuzzers[@]} targets)"
    fi
    status=0
    for f in "${fuzzers[@]}"; do
      name=$(basename "$f")
      corpus=build/asan/corpus/$name
      mkdir -p "$corpus"
      seeds=()
      [ -d "tests/fuzz/seeds/$name" ] && seeds=("tests/fuzz/seeds/$name")
      echo "-- $name"
      if ! "$f" -max_total_time="$seconds" -print_final_stats=1 \
           -artifact_prefix="build/asan/$name-" "$corpus" "${seeds[@]}" >"build/asan/$name.log" 2>&1; then
        tail -n 60 "build/asan/$name.log"
        status=1
      else
        # Inputs a second over the whole share, seeds included.
        awk -v s="$seconds" '/stat::number_of_executed_units/ {printf "%d inputs, %d/s\n", $2, $2 / s}' \
          "build/asan/$name.log"
      fi
    done
    exit $status
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
