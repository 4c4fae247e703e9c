#!/usr/bin/env bash
# run_fuzz.sh BINARY CORPUS — a short fuzz run from the seed corpus; skipped without clang.
set -euo pipefail
bin=$1 corpus=$2
if [ ! -x "$bin" ]; then echo "no fuzz build at $bin; skipped"; exit 77; fi
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cp -r "$corpus"/. "$work"/ 2>/dev/null || true
"$bin" -max_total_time="${NVX_FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -timeout=10 -error_exitcode=1 -timeout_exitcode=1 "$work"
