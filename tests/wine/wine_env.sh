# The Wine tests' shared set-up. A test script sources it and starts with
#   wine_test_begin EXE WORKDIR
# which skips the test (exit 77) where EXE is missing or this machine cannot run it, and
# otherwise gives a fresh prefix WORKDIR/prefix ($WINEPREFIX, its drive C: in $drive).
# Prefixes are copies of one template prefix that the first test makes (under a lock, since
# ctest runs tests in parallel). Run as a command, `wine_env.sh STEP ARGS...` does one of the
# steps below in the prefix of $WINEPREFIX (for the scenario runner of tests/support).
set -euo pipefail
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=${LANG_OVERRIDE:-cs_CZ.UTF-8}
WINE32=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64

fail() { echo "FAIL: $*"; exit 1; }

make_prefix() {  # folder
  local template=${NVX_WINE_TEMPLATE:?}
  mkdir -p "$(dirname "$template")"
  (
    flock 9
    if [ ! -f "$template/.ready" ]; then
      rm -rf "$template"
      WINEPREFIX="$template" "$WINE64" wineboot -i >/dev/null 2>&1 || true
      WINEPREFIX="$template" /usr/lib/wine/wineserver -w
      touch "$template/.ready"
    fi
  ) 9>"$template.lock"
  mkdir -p "$(dirname "$1")"
  rm -rf "$1"
  cp -a "$template" "$1"
  export WINEPREFIX=$1
}

# The loader of a Windows program: the 32-bit one for a PE32 file.
loader_of() {  # exe
  if file "$1" | grep -q 'PE32 executable'; then echo "$WINE32"; else echo "$WINE64"; fi
}

# The 32-bit loader needs the kernel's 32-bit support, which some machines lack.
can_run_exe() {  # exe
  if [ "$(loader_of "$1")" = "$WINE32" ]; then "$WINE32" --version >/dev/null 2>&1; fi
}

wine_test_begin() {  # exe workdir
  exe=$1 work=$2
  if [ ! -f "$exe" ]; then echo "no Windows build at $exe; skipped"; exit 77; fi
  export NVX_WINE_TEMPLATE=$(dirname "$work")/wine-template
  if ! can_run_exe "$exe"; then
    echo "this machine cannot run 32-bit programs under Wine; skipped"
    exit 77
  fi
  make_prefix "$work/prefix"
  drive="$WINEPREFIX/drive_c"
}

import_reg() {  # UTF-8 .reg file; wine's reg reads UTF-16LE with a byte order mark
  local utf16="$WINEPREFIX/import.reg"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$1"; } > "$utf16"
  "$WINE64" reg import "$utf16" >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
}

delete_keys() {  # keys... ; gone afterwards, whether they were there or not
  local key
  for key in "$@"; do "$WINE64" reg delete "$key" /f >/dev/null 2>&1 || true; done
  /usr/lib/wine/wineserver -w
}

run_exe() {  # exe args... ; prints the exit code
  local exe=$1; shift
  set +e
  "$(loader_of "$exe")" "$exe" "$@" >/dev/null 2>&1
  local code=$?
  set -e
  /usr/lib/wine/wineserver -w
  echo "$code"
}

# Runs $exe with its output through a pipe: the output in $out (CR removed), the exit code in
# $code. piped_now does not wait for the prefix to empty, which it does not while a host runs.
piped_now() {  # args...
  set +e
  out=$("$(loader_of "$exe")" "$exe" "$@" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  code=$?
  set -e
}
piped() {  # args...
  piped_now "$@"
  /usr/lib/wine/wineserver -w
}

# The output of reg query, with CR removed; status 1 where the key or value is not there. reg
# says so on its output, with status 1, which it also gives when it fails for any other reason:
# such a failure is retried, and then is status 2.
query() {  # key [value]
  local out code try
  for try in 1 2 3; do
    code=0
    out=$("$WINE64" reg query "$@" 2>/dev/null) || code=$?
    if [ "$code" = 0 ]; then
      printf '%s\n' "$out" | tr -d '\r'
      return 0
    fi
    case $out in *"Unable to find the specified registry"*) return 1 ;; esac
  done
  echo "reg query $* failed ($code): $out" >&2
  return 2
}

# A program named acadlt.exe (the host stand-in SLEEPER, renamed) running in the prefix until
# it is killed; its process in $host_pid. The stand-in creates C:\host-ready once it runs;
# there is no time limit here beyond the test's own.
start_host_stand_in() {  # sleeper
  local host_dir="$WINEPREFIX/drive_c/Program Files/Host"
  mkdir -p "$host_dir"
  cp "$1" "$host_dir/acadlt.exe"
  rm -f "$WINEPREFIX/drive_c/host-ready"
  "$(loader_of "$1")" "$host_dir/acadlt.exe" 'C:\host-ready' >/dev/null 2>&1 &
  host_pid=$!
  while [ ! -e "$WINEPREFIX/drive_c/host-ready" ]; do
    kill -0 "$host_pid" 2>/dev/null || fail "the host stand-in did not start"
    sleep 0.2
  done
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  "$@"
fi
