#!/usr/bin/env bash
# host_running.sh EXE WORKDIR SLEEPER — the silent add and remove of a Windows build under Wine
# while a program named acadlt.exe (SLEEPER, renamed) runs in the same prefix: both exit 3 and
# change nothing; once it has ended, the add goes through.
set -euo pipefail
exe=$1 work=$2 sleeper=$3
if [ ! -f "$exe" ]; then echo "no Windows build at $exe; skipped"; exit 77; fi
if [ ! -f "$sleeper" ]; then echo "no host stand-in at $sleeper; skipped"; exit 77; fi
export NVX_WINE_TEMPLATE=$(dirname "$work")/wine-template
source "$(dirname "$0")/wine_env.sh"
if ! can_run_exe "$exe"; then echo "this machine cannot run 32-bit programs under Wine; skipped"; exit 77; fi
make_prefix "$work/prefix"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
loader=$WINE64
if file "$exe" | grep -q 'PE32 executable'; then loader=$WINE32; fi
sleeper_loader=$WINE64
if file "$sleeper" | grep -q 'PE32 executable'; then sleeper_loader=$WINE32; fi

cat > "$work/host.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Norvex Studio\Norvex Express]
"AcadPathReg"="Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405"

[HKEY_CURRENT_USER\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405]
"RoamableRootFolder"="C:\\Users\\Jana\\Roaming\\"

[HKEY_CURRENT_USER\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405\Profiles\Kreslení\Menus]
"Group1"="ACLT C:\\Support\\aclt"
REG
import_reg "$work/host.reg"
fail() { echo "FAIL: $*"; exit 1; }
key='HKCU\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405'
# Runs the program without waiting for the prefix to empty, which it does not while the host runs.
run_now() {  # args... ; prints the exit code
  set +e
  "$loader" "$exe" "$@" >/dev/null 2>&1
  echo $?
  set -e
}

host_dir="$WINEPREFIX/drive_c/Program Files/Host"
mkdir -p "$host_dir"
cp "$sleeper" "$host_dir/acadlt.exe"
rm -f "$WINEPREFIX/drive_c/host-ready"
"$sleeper_loader" "$host_dir/acadlt.exe" 'C:\host-ready' >/dev/null 2>&1 &
host_pid=$!
# The stand-in writes the file once it runs; no time limit here beyond the test's own.
while [ ! -e "$WINEPREFIX/drive_c/host-ready" ]; do
  kill -0 "$host_pid" 2>/dev/null || fail "the host stand-in did not start"
  sleep 0.2
done

before=$(query "$key" /s)
[ -n "$before" ] || fail "the host's key was not imported"
for flag in -i -r; do
  [ "$(run_now "$flag")" = 3 ] || fail "$flag did not exit 3 while the host runs"
  [ "$(query "$key" /s)" = "$before" ] || fail "$flag changed the registry: $(query "$key" /s)"
done

/usr/lib/wine/wineserver -k || true
wait "$host_pid" 2>/dev/null || true
[ "$(run_exe "$exe" -i)" = 0 ] || fail "add did not exit 0 once the host ended"
query "$key\\Profiles\\Kreslení\\Menus" | grep -q 'Norvex_Express' || fail "add-on not registered"
echo "passed"
