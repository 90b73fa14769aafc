#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds, and then either starts the program or runs every test.
#   scripts/qzs.sh run    build and start the program (korva-qzs; needs a display)
#   scripts/qzs.sh test   build and run all tests (release -Werror, then ASan+UBSan, then fuzzers)
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

# The browser tests drive Debian's Chromium through playwright-core from the npm registry, kept
# outside the clone beside the compiler cache (never a browser download of its own).
install_node_modules() {
  local dir=${XDG_CACHE_HOME:-$HOME/.cache}/korva-qzs/node
  [ -d "$dir/node_modules/playwright-core" ] && return 0
  command -v npm >/dev/null || { echo "npm is missing: the browser tests will be skipped"; return 0; }
  mkdir -p "$dir"
  (cd "$dir" && npm install --silent --no-audit --no-fund playwright-core@1) ||
    echo "playwright-core could not be installed: the browser tests will be skipped"
}

jobs=$(nproc)
# The cache lives outside the clone so that a fresh clone on the same machine (CI) builds warm;
# CCACHE_BASEDIR makes the clone's absolute paths relative so the hits carry across clones.
export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/korva-qzs/ccache}
export CCACHE_BASEDIR=$root
export CCACHE_NOHASHDIR=1

configure_build() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
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
    echo "== Release build (warnings as errors)"
    configure_build build/release -DCMAKE_BUILD_TYPE=Release -DQZS_WERROR=ON
    (cd build/release && ctest --output-on-failure -j "$jobs" --timeout 600)

    echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
    export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
    configure_build build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZS_WERROR=ON -DQZS_SANITIZE=ON -DQZS_BENCH=OFF
    (cd build/asan && ctest --output-on-failure -j "$jobs" --timeout 900)

    echo "== ThreadSanitizer: the web server, the socket wrapper and the application lock"
    # Only the tests whose threads share state: the whole suite under TSan would cost CI far
    # more than it finds.
    tsan_tests=(net_test_http_server net_test_tcp_socket programming_test_image_state app_test_presenters)
    cmake -S "$root" -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZS_WERROR=ON \
      -DQZS_TSAN=ON -DQZS_BENCH=OFF >/dev/null
    cmake --build build/tsan -j "$jobs" --target "${tsan_tests[@]}"
    for t in "${tsan_tests[@]}"; do
      exe=$(find build/tsan/tests -type f -name "$t" -perm -u+x | head -n 1)
      echo "-- $t"
      TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 "$exe" --gtest_brief=1
    done

    CC=clang CXX=clang++ configure_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DQZS_FUZZ=ON -DQZS_SANITIZE=ON -DQZS_TESTS=OFF -DQZS_BENCH=OFF
    fuzzers=()
    for f in build/fuzz/tests/fuzz/fuzz_*; do
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
      corpus=build/fuzz/corpus/$name
      mkdir -p "$corpus"
      seeds=()
      [ -d "tests/fuzz/seeds/$name" ] && seeds=("tests/fuzz/seeds/$name")
      echo "-- $name"
      if ! "$f" -max_total_time="$seconds" -print_final_stats=0 \
           -artifact_prefix="build/fuzz/$name-" "$corpus" "${seeds[@]}" >"build/fuzz/$name.log" 2>&1; then
        tail -n 60 "build/fuzz/$name.log"
        status=1
      else
        grep -E 'Done [0-9]+ runs' "build/fuzz/$name.log" | tail -n 1 || true
      fi
    done
    exit $status
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
