#!/usr/bin/env bash
# file_identity.sh EXE WORKDIR — under Wine, a saved file keeps its attributes (a hidden
# customization file stays hidden), a MenuFile that names a device fails at once, and one whose
# backup's names would be too long for the system is path-too-long, never backup-failed.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
wine_test_begin "$1" "$2"
mkdir -p "$drive/Data"
python3 "$here/../fixtures/cui_fixture.py" "$drive/Data/hidden.cui" --seed 4 --crlf
long=$(printf 'L%.0s' $(seq 220))
mkdir -p "$drive/Data/$long"
python3 "$here/../fixtures/cui_fixture.py" "$drive/Data/$long/long.cui" --seed 5 --crlf
python3 - "$work/host.reg" "$here/../support" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
from host_check import registry
profiles = [("Hidden", "C:\\Data\\hidden.cui"), ("Device", "AUX"), ("Drive device", "C:\\Data\\AUX"),
            ("Long", "C:\\Data\\" + "L" * 220 + "\\long.cui")]
with open(sys.argv[1], "w", encoding="utf-8") as f:
    f.write(registry("Software\\Norvex Test\\Host LT\\R12\\HOSTLT-9001:405", "C:\\Roaming\\", profiles))
PY
import_reg "$work/host.reg"
"$WINE64" cmd /c attrib +h 'C:\Data\hidden.cui' >/dev/null 2>&1
/usr/lib/wine/wineserver -w
attributes() { "$WINE64" cmd /c attrib 'C:\Data\hidden.cui' 2>/dev/null | tr -d '\r'; }
attributes | grep -q '^ *[A-Z ]*H' || fail "the fixture could not be hidden: $(attributes)"
# The two device profiles fail (exit 1) without blocking the run; the hidden one is done.
dry=$(timeout 300 bash "$here/wine_env.sh" run_exe "$exe" -i --dry-run --log 'C:\dry.log') || fail "the dry run did not end"
code=$(timeout 300 bash "$here/wine_env.sh" run_exe "$exe" -i --log 'C:\run.log') || fail "the run did not end"
[ "$code" = 1 ] || fail "add with device profiles exited $code, not 1"
grep -q 'norvex_express.CUI</PartialMenuFile>' "$drive/Data/hidden.cui" || fail "hidden profile not updated"
attributes | grep -q '^ *[A-Z ]*H' || fail "the saved file lost its hidden attribute: $(attributes)"
[ -f "$drive/Data/hidden.cui.norvex-express.bak" ] || fail "no backup"
# Where the system takes long paths the profile is added; elsewhere the dry run foresees
# path-too-long and the run gives it, with nothing written.
longLine() { tr -d '\r' < "$drive/$1" | grep $'^\tLong\t' | cut -f4; }
case "$(longLine run.log)" in
  added) [ -f "$drive/Data/$long/long.cui.norvex-express.bak" ] || fail "long profile: no backup" ;;
  path-too-long)
    [ "$(longLine dry.log)" = path-too-long ] || fail "dry run foresaw $(longLine dry.log) for the long path"
    [ "$(ls "$drive/Data/$long")" = long.cui ] || fail "long profile: something was written" ;;
  *) fail "long profile: $(longLine run.log)" ;;
esac
left=$(find "$drive/Data" -name '*.new-*' | head -3)
[ -z "$left" ] || fail "new files left behind: $left"
/usr/lib/wine/wineserver -k || true
echo "passed"
