#!/usr/bin/env bash
# file_hosts.sh EXE WORKDIR — the silent add and remove of a Windows build under Wine on a
# .cui host (R12) and .cuix hosts (R18, R20): Czech profile names and folders, a MenuFile
# with an environment reference and no extension, a broken and a read-only profile file.
set -euo pipefail
exe=$1 work=$2
if [ ! -f "$exe" ]; then echo "no Windows build at $exe; skipped"; exit 77; fi
here=$(cd "$(dirname "$0")" && pwd)
export NVX_WINE_TEMPLATE=$(dirname "$work")/wine-template
source "$here/wine_env.sh"
if ! can_run_exe "$exe"; then echo "this machine cannot run 32-bit programs under Wine; skipped"; exit 77; fi
fail() { echo "FAIL: $*"; exit 1; }
export NVX_ROAMING='C:\Uživatelé\Jana'
make_prefix "$work/prefix"
drive="$WINEPREFIX/drive_c"
for release in R12 R18.0 R20.1; do
  python3 "$here/file_hosts_check.py" make "$drive" "$release" "$work/$release.reg"
  import_reg "$work/$release.reg"
  # Two good profiles, a broken and a read-only one: every run reports the failures.
  for round in 1 2; do
    [ "$(run_exe "$exe" -i)" = 1 ] || fail "$release: add $round did not exit 1"
    python3 "$here/file_hosts_check.py" added "$drive" "$release"
  done
  for round in 1 2; do
    [ "$(run_exe "$exe" -r)" = 1 ] || fail "$release: remove $round did not exit 1"
    python3 "$here/file_hosts_check.py" removed "$drive" "$release"
  done
done
# Every load and save removes the temporary part files it made.
left=$(find "$drive" -iname 'VT_*' 2>/dev/null | head -5)
[ -z "$left" ] || fail "temporary files left behind: $left"
/usr/lib/wine/wineserver -k || true
echo "passed"
