#!/usr/bin/env bash
# The release check's SHA-256 (CNG under Wine) against sha256sum on the same
# file in one run, with the ratio of their rates and our peak memory.
#   bench/release_hash.sh [MiB, default 100] [build dir, default build/windows]
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-100}
build=$(cd "${2:-build/windows}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/data"
export WINEPREFIX=${WINEPREFIX:-$build/wine-release-check} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
bench="$build/bench/bench_release_hash.exe"
"$wine" "$bench" "Z:${work//\//\\}\\data" >/dev/null 2>&1 || true   # warms the prefix and the page cache

start=$(date +%s.%N)
theirs=$(sha256sum "$work/data" | cut -d' ' -f1)
sha_seconds=$(echo "$(date +%s.%N) - $start" | bc)
ours=$("$wine" "$bench" "Z:${work//\//\\}\\data" 2>/dev/null | tr -d '\r')
our_seconds=$(echo "$ours" | sed -n 's/^ours: \([0-9.]*\) s.*/\1/p')
[ "$(echo "$ours" | head -1)" = "$theirs" ] || { echo "digests differ: $theirs vs $(echo "$ours" | head -1)"; exit 1; }
printf 'sha256sum: %.3f s for %d MiB (%.0f MiB/s)\n' "$sha_seconds" "$mib" "$(echo "$mib / $sha_seconds" | bc -l)"
echo "$ours" | tail -1
printf 'our rate / sha256sum rate: %.2f (goal: at least 0.5); same digest\n' "$(echo "$sha_seconds / $our_seconds" | bc -l)"
