# Sourced by the Wine tests: a fresh prefix per test, copied from one template prefix that
# the first test makes (under a lock, since ctest runs tests in parallel).
set -euo pipefail
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=${LANG_OVERRIDE:-cs_CZ.UTF-8}
WINE32=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64
wine_template=${NVX_WINE_TEMPLATE:?}

make_prefix() {  # folder
  mkdir -p "$(dirname "$wine_template")"
  (
    flock 9
    if [ ! -f "$wine_template/.ready" ]; then
      rm -rf "$wine_template"
      WINEPREFIX="$wine_template" "$WINE64" wineboot -i >/dev/null 2>&1 || true
      WINEPREFIX="$wine_template" /usr/lib/wine/wineserver -w
      touch "$wine_template/.ready"
    fi
  ) 9>"$wine_template.lock"
  mkdir -p "$(dirname "$1")"
  rm -rf "$1"
  cp -a "$wine_template" "$1"
  export WINEPREFIX=$1
}

import_reg() {  # UTF-8 .reg file; wine's reg reads UTF-16LE with a byte order mark
  local utf16="$WINEPREFIX/import.reg"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$1"; } > "$utf16"
  "$WINE64" reg import "$utf16" >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
}

# The 32-bit loader needs the kernel's 32-bit support, which some machines lack.
can_run_exe() {  # exe
  if file "$1" | grep -q 'PE32 executable'; then "$WINE32" --version >/dev/null 2>&1; fi
}

run_exe() {  # exe args... ; prints the exit code
  local exe=$1; shift
  local loader=$WINE64
  if file "$exe" | grep -q 'PE32 executable'; then loader=$WINE32; fi
  set +e
  "$loader" "$exe" "$@" >/dev/null 2>&1
  local code=$?
  set -e
  /usr/lib/wine/wineserver -w
  echo "$code"
}

query() {  # key [value] ; the output of reg query, with CR removed
  "$WINE64" reg query "$@" 2>/dev/null | tr -d '\r'
}
