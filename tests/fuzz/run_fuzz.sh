#!/usr/bin/env bash
# run_fuzz.sh BINARY CORPUS — a short fuzz run from the seed corpus; skipped without clang.
# run_fuzz.sh --roundtrip PROGRAM — the silent runs' round trip over many random hosts, seeds
#   from NVX_ROUNDTRIP_SEEDS ("1-200" unless set; a list such as "5,40-90" works too).
set -euo pipefail
if [ "${1:-}" = --roundtrip ]; then
  tests=$(cd "$(dirname "$0")/.." && pwd)
  NVX_FIXTURES="$tests/fixtures" exec python3 "$tests/app/roundtrip_e2e.py" "$2" \
    --seeds "${NVX_ROUNDTRIP_SEEDS:-1-200}"
fi
bin=$1 corpus=$2
if [ ! -x "$bin" ]; then echo "no fuzz build at $bin; skipped"; exit 77; fi
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cp -r "$corpus"/. "$work"/ 2>/dev/null || true
"$bin" -max_total_time="${NVX_FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -timeout=10 -error_exitcode=1 -timeout_exitcode=1 "$work"
