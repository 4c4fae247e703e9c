#!/usr/bin/env bash
# dialog_gui.sh EXE WORKDIR HELPER [SCENARIOS] — the dialogs of a Windows build under Wine on
# a display of its own, driven with xdotool: window texts are read back with the helper
# (window_texts.cpp), the registry is checked afterwards and a screenshot of every dialog and
# message box is kept in WORKDIR/shots. LANG_OVERRIDE chooses the locale (cs_CZ.UTF-8).
# Exits 77 when this machine cannot run the test.
set -euo pipefail
helper=$3
scenarios=${4:-"add_one_profile add_third_of_three close_selection remove_without_host"}
if [ ! -f "$helper" ]; then echo "no window text helper at $helper; skipped"; exit 77; fi
for tool in Xvfb xdotool import identify iconv; do
  command -v "$tool" >/dev/null || { echo "$tool missing; skipped"; exit 77; }
done
wanted_locale=${LANG_OVERRIDE:-cs_CZ.UTF-8}
if ! locale -a 2>/dev/null | grep -qix "$(echo "$wanted_locale" | sed 's/UTF-8/utf8/I')"; then
  echo "locale $wanted_locale missing; skipped"; exit 77
fi
source "$(dirname "$0")/wine_env.sh"
wine_test_begin "$1" "$2"
loader=$(loader_of "$exe")
mkdir -p "$work"
rm -rf "$work/shots"
mkdir -p "$work/shots"

xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to the descriptor. On a loaded
# machine it can take many seconds to come up, and now and then it ends right after; a window
# made without a display fails and the program ends with 1. So the display is checked before
# every start of the program, and a display that is gone is started again.
start_display() {  # ; true once a display answers
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  "$(command -v Xvfb)" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
    >>"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || return 1
  export DISPLAY=":$(head -n1 "$work/display")"
  for _ in $(seq 150); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.2; done
  return 1
}
ensure_display() {  # ; a display that answers, started anew up to three times
  local attempt
  xdpyinfo >/dev/null 2>&1 && return 0
  for attempt in 1 2 3; do
    start_display && return 0
    echo "(display) no display after start $attempt" >>"$work/xvfb.log"
  done
  echo "FAIL: Xvfb did not start"
  exit 1
}
unset DISPLAY
: >"$work/xvfb.log"
ensure_display

: >"$work/app.log"

fail() { echo "FAIL ($scenario): $*" >&2; exit 1; }

find_window() {  # title ; the X window id, or nothing
  xdotool search --name "^$1\$" 2>/dev/null | head -n1 || true
}
wait_window() {  # title
  local id
  # Up to a minute: a dialog under Wine can take that long on a machine under load.
  for _ in $(seq 300); do
    id=$(find_window "$1")
    if [ -n "$id" ]; then sleep 0.5; echo "$id"; return 0; fi
    sleep 0.2
  done
  fail "no window '$1'"
}
wait_gone() {  # title
  for _ in $(seq 150); do
    [ -z "$(find_window "$1")" ] && return 0
    sleep 0.2
  done
  fail "window '$1' stayed open"
}
press() {  # window keys...
  local id=$1; shift
  xdotool key --delay 150 --window "$id" "$@" 2>/dev/null
  sleep 0.3
}
texts() {  # file ; every visible window with its controls, as the wide functions read them
  "$loader" "$helper" >"$1" 2>/dev/null
}
expect_line() {  # file line
  grep -qxF "$2" "$1" || fail "missing: $2 (in $1: $(cat "$1"))"
}
shot() {  # name
  import -window root "$work/shots/$1.png" 2>/dev/null || fail "no screenshot $1"
  local colours
  colours=$(identify -format '%k' "$work/shots/$1.png")
  [ "$colours" -gt 1 ] || fail "screenshot $1 is blank"
}
start_app() {  # ; returns once the main window is up
  local attempt
  for attempt in 1 2 3 4 5; do
    ensure_display
    "$loader" "$exe" >>"$work/app.log" 2>&1 &
    app_pid=$!
    for _ in $(seq 450); do
      [ -n "$(find_window "$main_caption")" ] && return 0
      if ! kill -0 "$app_pid" 2>/dev/null; then
        local code=0
        wait "$app_pid" || code=$?
        echo "($scenario) the program ended with $code before its window showed;" \
          "the display $(xdpyinfo >/dev/null 2>&1 && echo answers || echo does not answer)" \
          >>"$work/app.log"
        break
      fi
      sleep 0.2
    done
    # While other Wine tests start up beside it, Wine now and then fails to make the first
    # window of a fresh prefix (the program then ends with 1); later starts tell that apart
    # from a program that never shows its window.
    echo "($scenario) no main window after start $attempt" >>"$work/app.log"
    kill "$app_pid" 2>/dev/null || true
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    sleep 3
  done
  fail "no window '$main_caption' (see $work/app.log)"
}
wait_exit() {  # ; the program must end with 0
  for _ in $(seq 100); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      local code=0
      wait "$app_pid" || code=$?
      app_pid=
      [ "$code" = 0 ] || fail "the program ended with $code"
      /usr/lib/wine/wineserver -w
      return 0
    fi
    sleep 0.2
  done
  fail "the program did not end"
}
export_key() {  # key file ; the key as UTF-8 text
  rm -f "$2.utf16"
  "$WINE64" reg export "$1" "$(echo "Z:$2.utf16" | tr / '\\')" /y >/dev/null 2>&1 || true
  if [ -f "$2.utf16" ]; then iconv -f UTF-16 -t UTF-8 "$2.utf16" | tr -d '\r' >"$2"; else : >"$2"; fi
}

root='HKEY_CURRENT_USER\Software\Autodesk\AutoCAD LT\R10\ACLT-4001:405'
host() {  # profile names... ; a registry-form host with these profiles, or none at all
  "$WINE64" reg delete 'HKCU\Software\Autodesk' /f >/dev/null 2>&1 || true
  "$WINE64" reg delete 'HKLM\Software\Wow6432Node\Norvex Studio' /f >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w
  [ $# -gt 0 ] || return 0
  {
    printf 'Windows Registry Editor Version 5.00\n\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Norvex Studio\\Norvex Express]\n'
    printf '"AcadPathReg"="Software\\\\Autodesk\\\\AutoCAD LT\\\\R10\\\\ACLT-4001:405"\n\n'
    printf '[%s]\n"RoamableRootFolder"="C:\\\\Users\\\\Jana\\\\Roaming\\\\"\n\n' "$root"
    for name in "$@"; do
      printf '[%s\\Profiles\\%s\\Menus]\n"Group1"="ACLT C:\\\\Support\\\\aclt"\n\n' "$root" "$name"
    done
  } >"$work/host.reg"
  import_reg "$work/host.reg"
}
menus_of() {  # profile file
  export_key "HKCU\\Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405\\Profiles\\$1\\Menus" "$2"
}
registered='"Group2"="Norvex_Express C:\\Users\\Jana\\Roaming\\Support\\Norvex_Express"'

main_caption='VORTAN Express'
select_caption='Nalezené profily AutoCADu LT'
releases='AutoCADu LT 2004 (2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014)'
check_main_texts() {  # file
  expect_line "$1" "window	#32770	$main_caption"
  expect_line "$1" "control	3	Button	Přidat VORTAN Express do profilu AutoCADu LT	enabled"
  expect_line "$1" "control	1000	Button	Odebrat VORTAN Express z profilu AutoCADu LT	enabled"
  expect_line "$1" "control	2	Button	Zavřít	enabled"
}
message_text() {  # file ; the text of the message box's static control
  awk -F'\t' '/^window/ {box = ($3 == "Norvex_Express")} box && $1 == "control" && $4 ~ /Vortan/ {print $4}' "$1"
}
# The message box shows text; its button closes it.
confirm_message() {  # box text
  texts "$work/box.txt"
  [ "$(message_text "$work/box.txt")" = "$2" ] || fail "message: $(message_text "$work/box.txt")"
  shot "$scenario-message"
  press "$1" space
  wait_gone Norvex_Express
}

add_one_profile() {
  host 'Kreslení'
  start_app
  local main box
  main=$(wait_window "$main_caption")
  texts "$work/main.txt"
  check_main_texts "$work/main.txt"
  shot "$scenario-main"
  press "$main" space  # Add has the focus
  box=$(wait_window Norvex_Express)
  [ -z "$(find_window "$select_caption")" ] || fail "one profile must not be asked for"
  confirm_message "$box" "Vortan Express byl přidán do $releases"
  # The dialog stays open after a command.
  main=$(wait_window "$main_caption")
  press "$main" Escape
  wait_exit
  menus_of 'Kreslení' "$work/menus.txt"
  grep -qxF "$registered" "$work/menus.txt" || fail "not registered: $(cat "$work/menus.txt")"
}

add_third_of_three() {
  host 'Kreslení' 'Stavby' 'Výkresy'
  start_app
  local main select box
  main=$(wait_window "$main_caption")
  press "$main" space
  select=$(wait_window "$select_caption")
  texts "$work/select.txt"
  expect_line "$work/select.txt" "control	1002	Static	Vyberte profil, do kterého se má přidat Norvex Express	enabled"
  expect_line "$work/select.txt" "control	1	Button	OK	enabled"
  expect_line "$work/select.txt" "control	2	Button	Zavřít	enabled"
  [ "$(grep '^item' "$work/select.txt" | tr '\t' '|')" = "$(printf 'item|0|Kreslení|selected\nitem|1|Stavby|-\nitem|2|Výkresy|-')" ] \
    || fail "profile list: $(grep '^item' "$work/select.txt")"
  shot "$scenario-selection"
  press "$select" Down Down
  texts "$work/select2.txt"
  expect_line "$work/select2.txt" "item	2	Výkresy	selected"
  press "$select" Tab space  # to OK, and press it
  box=$(wait_window Norvex_Express)
  confirm_message "$box" "Vortan Express byl přidán do $releases"
  press "$(wait_window "$main_caption")" Escape
  wait_exit
  menus_of 'Výkresy' "$work/menus.txt"
  grep -qxF "$registered" "$work/menus.txt" || fail "third not registered: $(cat "$work/menus.txt")"
  for other in 'Kreslení' 'Stavby'; do
    menus_of "$other" "$work/menus.txt"
    grep -q Norvex "$work/menus.txt" && fail "$other was changed too"
  done
  return 0
}

close_selection() {
  host 'Kreslení' 'Stavby' 'Výkresy'
  # One profile holds the add-on already, so that a remove would show.
  "$WINE64" reg add "HKCU\\Software\\Autodesk\\AutoCAD LT\\R10\\ACLT-4001:405\\Profiles\\Stavby\\Menus" \
    /v Group2 /t REG_SZ /d 'Norvex_Express C:\old' /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  export_key 'HKCU\Software\Autodesk' "$work/before.txt"
  start_app
  local main select
  main=$(wait_window "$main_caption")
  press "$main" Tab space  # Remove
  select=$(wait_window "$select_caption")
  texts "$work/select.txt"
  expect_line "$work/select.txt" "control	1002	Static	Vyberte profil, ze kterého se má Norvex Express odebrat	enabled"
  shot "$scenario-selection"
  press "$select" Down Tab Tab space  # past OK to Zavřít
  wait_gone "$select_caption"
  sleep 1
  [ -z "$(find_window Norvex_Express)" ] || fail "a message followed the close"
  press "$(wait_window "$main_caption")" Escape
  wait_exit
  export_key 'HKCU\Software\Autodesk' "$work/after.txt"
  cmp -s "$work/before.txt" "$work/after.txt" || fail "the registry changed: $(diff "$work/before.txt" "$work/after.txt")"
}

remove_without_host() {
  host
  start_app
  local main box
  main=$(wait_window "$main_caption")
  press "$main" Tab space
  box=$(wait_window Norvex_Express)
  [ -z "$(find_window "$select_caption")" ] || fail "no profile must not be asked for"
  confirm_message "$box" "Vortan Express se nepodařilo odebrat z $releases"
  press "$(wait_window "$main_caption")" Escape
  wait_exit
}

# Needs NVX_HOST_SLEEPER, a Windows program that creates the file named by its argument and
# then waits; renamed to acadlt.exe, it stands in for the running host.
host_running() {
  [ -n "${NVX_HOST_SLEEPER:-}" ] || fail "NVX_HOST_SLEEPER is not set"
  host 'Kreslení' 'Stavby'
  export_key 'HKCU\Software\Autodesk' "$work/before.txt"
  local main box
  start_host_stand_in "$NVX_HOST_SLEEPER"
  start_app
  for keys in space "Tab space"; do  # Add, then Remove
    main=$(wait_window "$main_caption")
    press "$main" $keys
    box=$(wait_window Norvex_Express)
    [ -z "$(find_window "$select_caption")" ] || fail "the profiles were offered while the host runs"
    texts "$work/box.txt"
    [ "$(awk -F'\t' '/^window/ {box = ($3 == "Norvex_Express")} box && $1 == "control" && $4 ~ /AutoCAD/ {print $4}' "$work/box.txt")" \
      = "AutoCAD LT je spuštěn. Ukončete ho a zkuste to znovu." ] || fail "message: $(cat "$work/box.txt")"
    shot "$scenario-message-${keys// /-}"
    press "$box" space
    wait_gone Norvex_Express
  done
  press "$(wait_window "$main_caption")" Escape
  kill "$host_pid" 2>/dev/null || true
  wait "$host_pid" 2>/dev/null || true
  wait_exit
  export_key 'HKCU\Software\Autodesk' "$work/after.txt"
  cmp -s "$work/before.txt" "$work/after.txt" || fail "the registry changed: $(diff "$work/before.txt" "$work/after.txt")"
}

for scenario in $scenarios; do
  "$scenario"
  echo "passed: $scenario"
done
# The texts above were read back under the code page that the locale sets.
scenario=code_page
texts "$work/codepage.txt"
case "$wanted_locale" in
  cs_CZ*) expected=1250 ;;
  en_US*) expected=1252 ;;
  *) expected= ;;
esac
[ -z "$expected" ] || expect_line "$work/codepage.txt" "codepage	$expected"
echo "passed"
