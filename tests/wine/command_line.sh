#!/usr/bin/env bash
# command_line.sh EXE WORKDIR — the command line of a Windows build under Wine on a .cuix host:
# --status read through a pipe before and after -i and -r, a dry run that changes nothing,
# a log whose name holds "-r", and an unknown option, an en dash or stray text beside an
# action that change nothing; --version, and the reason of exit 2 through the pipe.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
wine_test_begin "$1" "$2"
# The host of the scenario mixed_R20, on its own folder of drive C:.
scenario=mixed_R20
scenarios() { python3 "$here/../support/host_scenarios.py" wine "$exe" "$work" "$1" "$scenario"; }
scenarios make
export NVX_ROAMING="C:\\$scenario\\Uživatelé\\Jana"

# "profile state reason" per line, in one order (the registry's order is Wine's).
states() { printf '%s\n' "$out" | awk -F'\t' '{ print $2, $4 }' | LC_ALL=C sort; }
sorted() { printf '%s\n' "$@" | LC_ALL=C sort; }
snapshot() { find "$drive/$scenario" -type f -exec md5sum {} + | sort; }

expect_states() {  # code, then the lines of states
  local want_code=$1; shift
  piped --status
  [ "$code" = "$want_code" ] || fail "--status exited $code, wanted $want_code: $out"
  [ "$(states)" = "$(sorted "$@")" ] || fail "--status printed: $out"
}

expect_states 1 "Kreslení absent" "Výkresy absent" "Broken damaged-archive" \
  "ReadOnly absent"
before=$(snapshot)
piped -i --dry-run
[ "$code" = 1 ] || fail "dry run exited $code"
[ "$(snapshot)" = "$before" ] || fail "the dry run changed files"
[ "$(printf '%s\n' "$out" | cut -f2,4 | tr '\t' ' ' | LC_ALL=C sort)" = "$(sorted \
  "Kreslení would add" "Výkresy would add" "Broken damaged-archive" \
  "ReadOnly read-only")" ] || fail "dry run printed: $out"

for args in "--bogus -i" "-i –r" "-i --log C:\\my logs.log"; do
  # shellcheck disable=SC2086  # split on purpose: one word each
  piped $args
  [ "$code" = 64 ] || fail "'$args' exited $code"
  [ "$(snapshot)" = "$before" ] || fail "'$args' changed files"
done

mkdir -p "$drive/x-install"
piped -i --log 'C:\x-install\run-r.log'
[ "$code" = 1 ] && [ -z "$out" ] || fail "the add exited $code and printed: $out"
scenarios added
grep -q $'^exit 1$' "$drive/x-install/run-r.log" || fail "the log has no exit line"
# The header: ISO time with its offset, computer, DOMAIN\user, process id, version, action,
# product key and the whole command line.
[ "$(head -1 "$drive/x-install/run-r.log" | awk -F'\t' '{ print NF, ($1 ~ /^[0-9-]+T[0-9:]+[+-][0-9][0-9]:[0-9][0-9]$/), (index($3, "\\") > 1), ($4 ~ /^[1-9][0-9]*$/), $6, (index($8, "-i --log C:\\x-install\\run-r.log") > 0) }')" \
  = "8 1 1 1 -i 1" ] || fail "the log's header: $(head -1 "$drive/x-install/run-r.log")"
grep -q $'^\tReadOnly\t.*\tread-only\t' "$drive/x-install/run-r.log" || fail "the log lacks the reason"
expect_states 1 "Kreslení present" "Výkresy present" "Broken damaged-archive" \
  "ReadOnly absent"

piped /r
scenarios removed
expect_states 1 "Kreslení absent" "Výkresy absent" "Broken damaged-archive" \
  "ReadOnly absent"
# A log in a folder that is not there: one line on standard error with the file and the
# system's reason and code; the run and its exit code go on as without it.
set +e
err=$("$(loader_of "$exe")" "$exe" --status --log 'C:\no\such\x.log' 2>&1 >/dev/null | tr -d '\r'
  exit "${PIPESTATUS[0]}")
code=$?
set -e
[ "$code" = 1 ] && [ "$(printf '%s\n' "$err" | grep -c 'Norvex Express: do protokolu C:\\no\\such\\x\.log nelze zapisovat, .*(3)$')" = 1 ] \
  || fail "a log in a missing folder: exit $code, standard error: $err"
piped --version
printf '%s\n' "$out" | grep -qx 'Norvex Express [0-9]*\.[0-9]*\.[0-9]*' && [ "$code" = 0 ] \
  || fail "--version exited $code and printed: $out"
# Without its own settings, even the silent add says why through the pipe.
delete_keys 'HKLM\Software\Wow6432Node\Norvex Studio\Norvex Express' \
  'HKLM\Software\Norvex Studio\Norvex Express'
piped -i
[ "$code" = 2 ] && [ "$(printf '%s\n' "$out" | awk -F'\t' '{ print NF, $4 }')" = "5 settings-missing" ] \
  || fail "exit 2 without settings exited $code and printed: $out"
left=$(find "$drive" -iname 'VT_*' 2>/dev/null | head -5)
[ -z "$left" ] || fail "temporary files left behind: $left"
/usr/lib/wine/wineserver -k || true
echo "passed"
