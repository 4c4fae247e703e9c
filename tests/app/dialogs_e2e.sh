#!/usr/bin/env bash
# dialogs_e2e.sh PROGRAM WORKDIR — the POSIX program's terminal dialogs fed through standard
# input, against a registry file of a registry-form host.
set -euo pipefail
program=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
export NORVEX_EXPRESS_REGISTRY="$work/registry.reg"
scenario=
fail() { echo "FAIL ($scenario): $*" >&2; exit 1; }

host() {  # profile names...
  {
    printf 'Windows Registry Editor Version 5.00\n\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Norvex Studio\\Norvex Express]\n'
    printf '"AcadPathReg"="Software\\\\Autodesk\\\\AutoCAD LT\\\\R10\\\\ACLT-4001:405"\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405]\n'
    printf '"RoamableRootFolder"="C:\\\\Users\\\\Jana\\\\Roaming"\n\n'
    for name in "$@"; do
      printf '[HKEY_CURRENT_USER\\Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405\\Profiles\\%s\\Menus]\n' "$name"
      printf '"Group1"="ACLT C:\\\\Support\\\\aclt"\n\n'
    done
  } >"$NORVEX_EXPRESS_REGISTRY"
}
run() {  # answers ; the program's output in $work/out.txt
  local code=0
  printf "$1" | "$program" >"$work/out.txt" 2>"$work/err.txt" || code=$?
  [ "$code" = 0 ] || fail "ended with $code: $(cat "$work/err.txt")"
}
times() {  # text ; how often the output holds it
  grep -cF -- "$1" "$work/out.txt" || true
}
# The section of a profile's Menus key in the registry file (CRLF lines), up to the next one.
menus() {  # profile
  tr -d '\r' <"$NORVEX_EXPRESS_REGISTRY" | WANT="\\Profiles\\$1\\Menus]" awk '
    BEGIN {want = ENVIRON["WANT"]}
    index($0, "[") == 1 {on = (substr($0, length($0) - length(want) + 1) == want)} on'
}
registered='"Group2"="Norvex_Express C:\\Users\\Jana\\Roaming\\Support\\Norvex_Express"'
releases='AutoCADu LT 2004 (2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014)'

scenario=third_of_three
host 'Kreslení' 'Stavby' 'Výkresy'
run '1\n9\n3\n2\n0\n3\n'
menus 'Výkresy' | grep -qxF "$registered" || fail "third not registered: $(menus 'Výkresy')"
for other in 'Kreslení' 'Stavby'; do
  [ "$(menus "$other" | grep -c '^"Group')" = 1 ] || fail "$other was changed: $(menus "$other")"
done
[ "$(times '  3. Výkresy')" = 2 ] || fail "profiles not offered twice"
[ "$(times 'Vyberte profil, ze kterého se má Norvex Express odebrat')" = 1 ] || fail "no remove prompt"
[ "$(times "Vortan Express byl přidán do $releases")" = 1 ] || fail "no add message"
[ "$(times 'Vortan Express byl odebrán')" = 0 ] || fail "a closed selection showed a message"
[ "$(times 'Norvex_Express')" = 1 ] || fail "message caption count"

scenario=add_then_remove_one_profile
host 'Kreslení'
run '1\n2\n'  # and the end of input closes the dialog
[ "$(times 'Nalezené profily AutoCADu LT')" = 0 ] || fail "one profile was asked for"
[ "$(times "Vortan Express byl přidán do $releases")" = 1 ] || fail "no add message"
[ "$(times "Vortan Express byl odebrán z $releases")" = 1 ] || fail "no remove message"
[ "$(times '  3. Zavřít')" = 3 ] || fail "the main dialog was not asked again"
menus 'Kreslení' | grep -q Norvex && fail "add-on left behind: $(menus 'Kreslení')"

scenario=remove_without_host
rm -f "$NORVEX_EXPRESS_REGISTRY"
run '2\n3\n'
[ "$(times "Vortan Express se nepodařilo odebrat z $releases")" = 1 ] || fail "no failure message"
[ ! -e "$NORVEX_EXPRESS_REGISTRY" ] || fail "a registry file was written"
echo passed
