#!/usr/bin/env bash
# Runs the threaded test programs of a ThreadSanitizer tree, after its canary.
#   scripts/tsan_step.sh BUILD_DIR TEST_PROGRAM[:GTEST_FILTER]...
# The canary (tests/tsan_canary.cpp) races on purpose and must be reported: without that report
# the tree is not instrumented and the silence of every test after it would mean nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?usage: $0 BUILD_DIR TEST_PROGRAM...}
shift

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"

canary=$dir/tests/tsan_canary
[ -x "$canary" ] || { echo "tsan: $canary is not built" >&2; exit 1; }
if out=$("$canary" 2>&1); then
    echo "tsan: the canary ended cleanly: this tree is not built with ThreadSanitizer" >&2
    exit 1
fi
if ! grep -q 'WARNING: ThreadSanitizer: data race' <<<"$out"; then
    echo "tsan: the canary failed without a race report:" >&2
    echo "$out" >&2
    exit 1
fi
echo "-- tsan_canary: race reported, as it must be"

status=0
for entry in "$@"; do
    t=${entry%%:*}
    filter=*
    [ "$entry" != "$t" ] && filter=${entry#*:}
    exe=$(find "$dir/tests" -type f -name "$t" -perm -u+x | head -n 1)
    [ -n "$exe" ] || { echo "tsan: $t is not built" >&2; status=1; continue; }
    echo "-- $entry"
    # The tests find their fixtures as under ctest.
    if ! QZS_SOURCE_DIR=$root QZS_BINARY_DIR=$dir QT_QPA_PLATFORM=offscreen \
         "$exe" --gtest_brief=1 "--gtest_filter=$filter"; then
        status=1
    fi
done
exit $status
