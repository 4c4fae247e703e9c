#!/usr/bin/env bash
# all_users.sh EXE WORKDIR HIVE_HELPER SLEEPER — the run over every user of a Windows build
# under Wine: the signed-in user's hive in use, and two users whose NTUSER.DAT hives (made with
# RegSaveKey by the helper) are loaded and unloaded again. Each user's .cuix package, named with
# %USERPROFILE%, is patched; --status then reports present for every profile of every user.
# While a host stand-in runs for the signed-in user, only that user's profiles wait (exit 3), and
# with --retry-at-logon that user gets a RunOnce value, which a later complete run removes.
# %USERNAME% is the account's name where the profile folder is named otherwise.
make_hive=$3 sleeper=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
wine_test_begin "$1" "$2"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
product='Software\Norvex Test\Host LT\R19.1\HOSTLT-7001:405'
list='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\ProfileList'
me=$(query "$list" /s | awk '/^HKEY.*S-1-5-21-/ { sub(/.*\\/, ""); print; exit }')
[ -n "$me" ] || fail "Wine has no signed-in user in ProfileList"
my_folder=$(query "$list\\$me" /v ProfileImagePath | awk '/ProfileImagePath/ { print $NF }')

# The keys of one user's host, below the given root.
host_keys() {  # root
  local base="$1\\${product//\\/\\\\}"
  base=${base//\\\\/\\}
  printf '[%s]\n"RoamableRootFolder"="C:\\\\Roaming"\n\n' "$base"
  for profile in Kreslení Výkresy; do
    printf '[%s\\Profiles\\%s\\General Configuration]\n' "$base" "$profile"
    printf '"MenuFile"="%%USERPROFILE%%\\\\%s.cuix"\n\n' "$profile"
  done
}
{
  printf 'Windows Registry Editor Version 5.00\n\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Norvex Studio\\Norvex Express]\n'
  printf '"AcadPathReg"="%s"\n\n' "${product//\\/\\\\}"
  printf '[%s\\S-1-5-21-5-5-5-1001]\n"ProfileImagePath"="C:\\\\users\\\\petr"\n\n' "$list"
  # %SystemDrive%\users\eva, as REG_EXPAND_SZ.
  printf '[%s\\S-1-5-21-5-5-5-1002]\n"ProfileImagePath"=hex(2):%s\n\n' "$list" \
    "$(printf '%%SystemDrive%%\\users\\eva\0' | iconv -t UTF-16LE | od -An -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')"
  host_keys HKEY_CURRENT_USER
  host_keys 'HKEY_CURRENT_USER\NvxHive\petr'
  host_keys 'HKEY_CURRENT_USER\NvxHive\eva'
} > "$work/users.reg"
import_reg "$work/users.reg"
windows_folder() { printf '%s' "$drive/${1#C:\\}" | tr '\\' '/'; }
folders=("$(windows_folder "$my_folder")" "$drive/users/petr" "$drive/users/eva")
for folder in "${folders[@]}"; do
  mkdir -p "$folder"
  for profile in Kreslení Výkresy; do
    python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import cuix_fixture; cuix_fixture.write_package(sys.argv[2], seed=len(sys.argv[2]))" \
      "$here/../fixtures" "$folder/$profile.cuix"
  done
done
for user in petr eva; do
  [ "$(run_exe "$make_hive" "NvxHive\\$user" "C:\\users\\$user\\NTUSER.DAT")" = 0 ] \
    || fail "the helper could not save $user's hive"
done
# Wine keeps no ACLs: a file's DACL comes from its mode, the owner is always the caller, and a
# replaced file gets the default mode. Files that every account may write stand for the users'
# own (given again after each run that writes); the others' for someone else's.
users_own_their_files() { chmod 666 "$drive"/users/petr/*.cuix "$drive"/users/eva/*.cuix; }
users_own_their_files
query 'HKCU\NvxHive\petr' >/dev/null && fail "the helper left its keys"
delete_keys 'HKCU\NvxHive'

snapshot() { find "${folders[@]}" -name '*.cuix' -exec md5sum {} + | sort; }
before=$(snapshot)
piped -i --all-users --dry-run
[ "$code" = 0 ] || fail "the dry run exited $code: $out"
[ "$(printf '%s\n' "$out" | cut -f4 | sort | uniq -c | awk '{ print $1, $2, $3 }')" = "6 would add" ] \
  || fail "the dry run printed: $out"
[ "$(snapshot)" = "$before" ] || fail "the dry run changed files"

# The stand-in runs as the signed-in user, so the others go on.
start_host_stand_in "$sleeper"
piped_now -i --all-users --dry-run
[ "$code" = 3 ] || fail "the dry run beside a running host exited $code: $out"
[ "$(printf '%s\n' "$out" | awk -F'\t' '{ print ($1 == "petr" || $1 == "eva") ? "other " $4 : "signed-in " $4 }' | sort | uniq -c | sed 's/^ *//' | tr '\n' ';')" \
  = "4 other would add;2 signed-in host-running;" ] || fail "beside a running host: $out"
run_once='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
piped_now -i --all-users --retry-at-logon
[ "$code" = 3 ] || fail "the add beside a running host exited $code: $out"
query "$run_once" /v NorvexExpress | grep -qiF 'NorvexExpress.exe" -i --retry-at-logon' \
  || fail "no retry for the signed-in user: $(query "$run_once")"
/usr/lib/wine/wineserver -k || true
wait "$host_pid" 2>/dev/null || true
users_own_their_files

[ "$(run_exe "$exe" -i --all-users)" = 0 ] || fail "-i --all-users did not exit 0"
users_own_their_files
for folder in "${folders[@]}"; do
  for profile in Kreslení Výkresy; do
    [ -f "$folder/$profile.cuix.norvex-express.bak" ] || fail "$folder/$profile.cuix was not patched"
  done
done
[ "$(query HKU | grep -c 'HKEY_USERS\\')" = 2 ] || fail "hives left loaded: $(query HKU)"
"$WINE64" reg add "$run_once" /v NorvexExpress /d stale /f >/dev/null 2>&1
query "$run_once" | grep -q NorvexExpress || fail "reg add left no value"
[ "$(run_exe "$exe" -i --all-users --retry-at-logon)" = 0 ] || fail "the complete run did not exit 0"
query "$run_once" | grep -q NorvexExpress && fail "the retry was left: $(query "$run_once")"

piped --status --all-users
[ "$code" = 0 ] || fail "--status --all-users exited $code: $out"
[ "$(printf '%s\n' "$out" | awk -F'\t' '{ print $1, $4 }' | LC_ALL=C sort | uniq -c | wc -l)" = 3 ] \
  || fail "--status named the wrong users: $out"
[ "$(printf '%s\n' "$out" | cut -f4 | sort -u)" = present ] || fail "--status printed: $out"
printf '%s\n' "$out" | grep -q "^petr	Kreslení	C:\\\\users\\\\petr\\\\Kreslení.cuix	present	" \
  || fail "petr's profile was not read from his own folder: $out"
printf '%s\n' "$out" | grep -q "^eva	Výkresy	C:\\\\users\\\\eva\\\\Výkresy.cuix	present	" \
  || fail "eva's folder was not expanded: $out"
/usr/lib/wine/wineserver -k || true
chmod 644 "$drive/users/petr/Kreslení.cuix"
piped -r --all-users --dry-run
printf '%s\n' "$out" | grep -q "^petr	Kreslení	[^	]*	not-users-file	" \
  || fail "a file petr may not write was not refused: $out"
printf '%s\n' "$out" | grep -q "^petr	Výkresy	[^	]*	would remove	$" || fail "petr's own file: $out"
/usr/lib/wine/wineserver -k || true
# The signed-in user's hive names a network path, and a profile whose name holds a tab: the
# first is refused before anything is opened, the second printed escaped, one line of its own.
profiles="HKCU\\$product\\Profiles"
"$WINE64" reg add "$profiles\\UNC\\General Configuration" /v MenuFile \
  /d '\\192.0.2.1\share\acadlt.cuix' /f >/dev/null 2>&1
"$WINE64" reg add "$profiles\\A"$'\t'"added\\General Configuration" /v MenuFile \
  /d 'C:\none.cuix' /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
piped --status --all-users
printf '%s\n' "$out" | grep -q $'\tUNC\t\\\\\\\\192.0.2.1\\\\share\\\\acadlt.cuix\tnetwork-path\t' \
  || fail "a network path was not refused: $out"
forged=$(printf '%s\n' "$out" | grep -F 'A\tadded')
[ "$(printf '%s\n' "$forged" | awk -F'\t' '{ print NF, $4 }')" = "5 file-missing" ] \
  || fail "the name with a tab was not escaped: $out"
/usr/lib/wine/wineserver -k || true
# %USERNAME% is the account's name, not the profile folder's: with the signed-in user's folder
# renamed in ProfileList, a menu file named through %USERNAME% is still found.
account=${my_folder##*\\}
"$WINE64" reg add "$list\\$me" /v ProfileImagePath /t REG_EXPAND_SZ /d "$my_folder.CONTOSO" /f >/dev/null 2>&1
"$WINE64" reg add "$profiles\\Named\\General Configuration" /v MenuFile \
  /d 'C:\users\%USERNAME%\Kreslení.cuix' /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
piped --status --all-users
printf '%s\n' "$out" | grep -qF "	Named	C:\\users\\$account\\Kreslení.cuix	present" \
  || fail "%USERNAME% was not the account's name ($account): $out"
/usr/lib/wine/wineserver -k || true
echo "passed"
