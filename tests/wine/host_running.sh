#!/usr/bin/env bash
# host_running.sh EXE WORKDIR SLEEPER — the silent add and remove of a Windows build under Wine
# while a program named acadlt.exe (SLEEPER, renamed) runs in the same prefix: both exit 3 and
# change nothing; once it has ended, the add goes through. Then, while another program holds
# the mutex of a writing run, a remove exits 3 with another-run and --status does not wait.
sleeper=$3
if [ ! -f "$sleeper" ]; then echo "no host stand-in at $sleeper; skipped"; exit 77; fi
source "$(dirname "$0")/wine_env.sh"
wine_test_begin "$1" "$2"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
loader=$(loader_of "$exe")

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
key='HKCU\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405'
# Runs the program without waiting for the prefix to empty, which it does not while the host runs.
run_now() {  # args... ; prints the exit code
  set +e
  "$loader" "$exe" "$@" >/dev/null 2>&1
  echo $?
  set -e
}

start_host_stand_in "$sleeper"

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

holder="$WINEPREFIX/drive_c/Program Files/Holder/holder.exe"
mkdir -p "$(dirname "$holder")"
cp "$sleeper" "$holder"
"$(loader_of "$sleeper")" "$holder" 'C:\lock-ready' 'Global\NorvexExpress' >/dev/null 2>&1 &
holder_pid=$!
while [ ! -e "$WINEPREFIX/drive_c/lock-ready" ]; do
  kill -0 "$holder_pid" 2>/dev/null || fail "the mutex holder did not start"
  sleep 0.2
done
before=$(query "$key" /s)
[ "$(NORVEX_EXPRESS_LOCK_WAIT=0 run_now -r --log 'C:\lock.log')" = 3 ] \
  || fail "-r did not exit 3 while another run holds the mutex"
grep -q $'\tanother-run\t' "$WINEPREFIX/drive_c/lock.log" || fail "the log lacks another-run"
[ "$(query "$key" /s)" = "$before" ] || fail "-r changed the registry beside another run"
[ "$(run_now --status)" = 0 ] || fail "--status waited for the mutex or failed"
/usr/lib/wine/wineserver -k || true
echo "passed"
