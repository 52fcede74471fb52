#!/usr/bin/env bash
# What running fetched programs from protected folders costs a keyed
# installation of the demo release (web stack and application, under Wine):
# the installation test's own time (its "call" phase: tool start, the whole
# run through the window, the completion box) with a baseline keyed build
# and with this one, alternating, and the medians side by side.
#   bench/keyed_installation.sh BASELINE_SIGNED_BUILD [THIS_SIGNED_BUILD, default build/windows-signed] [ROUNDS, default 3]
# The baseline is a windows-signed build of the commit to compare with.
set -euo pipefail
cd "$(dirname "$0")/.."
baseline=$(cd "$1" && pwd)
current=$(cd "${2:-build/windows-signed}" && pwd)
rounds=${3:-3}
export ZUNAVERI_WINDOWS_BUILD_DIR=${ZUNAVERI_WINDOWS_BUILD_DIR:-$PWD/build/windows}
export ZUNAVERI_E2E_CACHE=${ZUNAVERI_E2E_CACHE:-$PWD/build/native/e2e-cache}
export ZUNAVERI_E2E_ARTIFACTS=${ZUNAVERI_E2E_ARTIFACTS:-$PWD/build/native/e2e-artifacts-bench}

# The call phase's time is there even when a check after the run fails (a
# baseline older than this tree's tests); no time at all stops the bench.
call_seconds() {
    local seconds
    seconds=$({ ZUNAVERI_SIGNED_BUILD_DIR=$1 /usr/bin/python3 -m pytest -q -p no:cacheprovider --durations=0 \
        tests/e2e/test_signed_releases.py -k test_signed_release_installs_whole 2>&1 || true; } |
        sed -n 's/^\([0-9.]*\)s call .*/\1/p')
    [ -n "$seconds" ] || { echo "keyed_installation: no time for the build in $1" >&2; exit 1; }
    echo "$seconds"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

before=() after=()
for round in $(seq "$rounds"); do
    before+=("$(call_seconds "$baseline")")
    after+=("$(call_seconds "$current")")
    echo "round $round: baseline ${before[-1]} s, this build ${after[-1]} s"
done
b=$(printf '%s\n' "${before[@]}" | median)
a=$(printf '%s\n' "${after[@]}" | median)
printf 'median of %d: baseline %.2f s, this build %.2f s, difference %+.2f s (%+.1f %%)\n' \
    "$rounds" "$b" "$a" "$(echo "$a - $b" | bc -l)" "$(echo "($a - $b) * 100 / $b" | bc -l)"
