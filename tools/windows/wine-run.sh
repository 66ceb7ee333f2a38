#!/usr/bin/env bash
# Runs a Windows program under wine64: the test programs of a Windows build
# (CMAKE_CROSSCOMPILING_EMULATOR) and anything else given to it.
#
#   tools/windows/wine-run.sh PROGRAM [ARGUMENT...]
#
# The wine prefix is private to the build: VELMORA_WINEPREFIX, or wine-prefix
# in the build folder that holds PROGRAM (the folder with CMakeCache.txt). It is
# made on first use (wine's first start takes a while) under a lock, so that
# parallel tests wait for one another only then.
set -euo pipefail

[ $# -ge 1 ] || {
  echo "usage: $0 PROGRAM [ARGUMENT...]" >&2
  exit 2
}

prefix=${VELMORA_WINEPREFIX:-}
if [ -z "$prefix" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || {
    echo "wine-run: $1 is not inside a build folder; set VELMORA_WINEPREFIX" >&2
    exit 2
  }
  prefix=$dir/wine-prefix
fi

# Debian puts the 64-bit loader in /usr/lib/wine (package wine64).
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || true)
[ -n "$wine" ] || {
  echo "wine-run: wine64 is not installed (package wine64)" >&2
  exit 2
}

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer dialogs, no window of wine's own.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ ! -f "$prefix/.velmora-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.velmora-ready" ]; then
    echo "wine-run: making the wine prefix $prefix (once)" >&2
    rm -rf "$prefix"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.velmora-ready"
  fi
  flock -u 9
  exec 9>&-
fi

# One wine server for the whole run of tests: by itself it ends a moment
# after its last program, and a program started just then finds it going away
# ("cannot connect to it"). This one stays a minute after its last program.
# Whoever starts it also starts wine's own session programs (services,
# devices), which live as long as the server: with their output going nowhere,
# they never hold the output of a test open.
exec 9>"$prefix.lock"
flock 9
if wineserver -p60 </dev/null >/dev/null 2>&1; then
  "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
fi
flock -u 9
exec 9>&-

exec "$wine" "$@"
