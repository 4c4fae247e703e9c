#!/usr/bin/env bash
# host_scenarios.sh EXE WORKDIR GROUP — the host scenarios of tests/support/host_scenarios.py
# (GROUP files or registry) on a Windows build under Wine, all in one prefix.
source "$(dirname "$0")/wine_env.sh"
wine_test_begin "$1" "$2"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
python3 "$(dirname "$0")/../support/host_scenarios.py" wine "$exe" "$work" "$3"
