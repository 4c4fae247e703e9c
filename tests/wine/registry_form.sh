#!/usr/bin/env bash
# registry_form.sh EXE WORKDIR — the silent add and remove of a Windows build under Wine on a
# registry-form host, with the program's settings in the 32-bit view of the machine's keys.
set -euo pipefail
exe=$1 work=$2
if [ ! -f "$exe" ]; then echo "no Windows build at $exe; skipped"; exit 77; fi
export NVX_WINE_TEMPLATE=$(dirname "$work")/wine-template
source "$(dirname "$0")/wine_env.sh"
if ! can_run_exe "$exe"; then echo "this machine cannot run 32-bit programs under Wine; skipped"; exit 77; fi
make_prefix "$work/prefix"
cat > "$work/host.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Norvex Studio\Norvex Express]
"AcadPathReg"="Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405"

[HKEY_CURRENT_USER\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405]
"RoamableRootFolder"="C:\\Users\\Jana\\Roaming\\"

[HKEY_CURRENT_USER\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405\Profiles\Kreslení\Menus]
"Group1"="ACLT C:\\Support\\aclt"

[HKEY_CURRENT_USER\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405\Profiles\Second\Menus]
"Group1"="Norvex_Express old"
"Group2"="Other C:\\Other"
REG
import_reg "$work/host.reg"
fail() { echo "FAIL: $*"; exit 1; }
key='HKCU\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405\Profiles'
[ "$(run_exe "$exe" -i)" = 0 ] || fail "add did not exit 0"
query "$key\\Kreslení\\Menus" /v Group2 | grep -q 'Norvex_Express C:\\Users\\Jana\\Roaming\\Support\\Norvex_Express' \
  || fail "Group2 not registered: $(query "$key\\Kreslení\\Menus")"
[ "$(run_exe "$exe" -r)" = 0 ] || fail "remove did not exit 0"
query "$key\\Second\\Menus" | grep -qi norvex && fail "add-on still registered"
query "$key\\Second\\Menus" /v Group1 | grep -q 'Other C:\\Other' || fail "other group not renumbered"
# Without the settings key the run finds nothing.
"$WINE64" reg delete 'HKLM\Software\Wow6432Node\Norvex Studio' /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
[ "$(run_exe "$exe" -i)" = 2 ] || fail "missing settings did not exit 2"
/usr/lib/wine/wineserver -k || true
echo "passed"
