#!/usr/bin/env bash
# The demo update: a sample application "Velmora Browser" 1.0.0.0 is installed
# in a fresh temporary folder, release 2.0.0.0 is built with the release tool
# and served from a local nginx, and the starter is run as a user would run it.
# The updater brings the application to 2.0.0.0; the demo prints what changed
# and ends with 0 only when the update really happened.
#
#   tools/demo/demo.sh [BUILD_FOLDER]      (default: build, below the source root)
#
# The updater shows its wizard (mode "full"). Where a display exists, the
# wizard appears on it and waits for the person to click through it. Where none
# exists (or with DEMO_AUTO=1) the demo starts a private X server and drives the
# wizard as a person would, with xdotool: Next, accept the licence, untick the
# optional section, Finish; a PNG screenshot of every page goes into a folder
# named at the end.
#
# Environment:
#   DEMO_MODE=full     the updater's mode: full (the wizard), silent (an icon in
#                      the notification area, no clicks) or hidden (no window)
#   DEMO_AUTO=1        drive the wizard on a private X server even where a
#                      display exists
#   DEMO_SHOTS=DIR     where the screenshots go (default: demo-screenshots/ in
#                      the build folder)
#   DEMO_KEEP=1        keep the demo folder (its path is printed at the end)
#   DEMO_TIMEOUT=120   seconds to wait for one run of the updater (a person
#                      clicking through the wizard gets 600 unless set)
#   DEMO_PENDING=1     hand the new files over through the starter's pending
#                      installation (InstallerTemp/) instead of replacing them
#                      in place (see docs/demo.md)
#
# Nothing outside the demo folder and the screenshot folder is written: HOME,
# XDG_CONFIG_HOME (the registry store), XDG_DATA_HOME (the start menu), the
# desktop folder and TMPDIR (the updater's private folder and its log) all
# point into it. nginx runs as the current user with its configuration, pid,
# logs and temporary files in the demo folder, on a free loopback port, and is
# stopped at the end, also when the demo fails; so is the private X server.
set -euo pipefail

readonly APP_NAME="Velmora Browser"
readonly UPDATER_NAME="Velmora Updater"
readonly STARTER_NAME="Velmora Starter"
readonly RELEASE_NAME="Velmora Release"
readonly OLD_VERSION=1.0.0.0
readonly NEW_VERSION=2.0.0.0
readonly PENDING=${DEMO_PENDING:-0}
readonly MODE=${DEMO_MODE:-full}
readonly AUTO=${DEMO_AUTO:-0}
readonly WINDOW_TITLE="Updater - Update $APP_NAME"

# --- helpers -------------------------------------------------------------------

say() { printf '%s\n' "$*"; }
step() { printf '\n== %s\n' "$*"; }
indent() { sed 's/^/    /'; }
fail() {
  printf '\ndemo: FAILED: %s\n' "$*" >&2
  exit 1
}

# Value of KEY in [SECTION] of an INI file, names matched without regard to
# case as the updater does; one pair of enclosing quotes removed.
ini_get() {
  local file=$1 section=$2 key=$3
  [ -f "$file" ] || return 0
  awk -v section="$section" -v key="$key" '
    BEGIN { section = tolower(section); key = tolower(key) }
    { sub(/\r$/, "") }
    /^[ \t]*\[/ { line = $0; gsub(/^[ \t]*\[|\][ \t]*$/, "", line); current = tolower(line); next }
    current == section {
      eq = index($0, "="); if (eq == 0) next
      name = substr($0, 1, eq - 1); gsub(/^[ \t]+|[ \t]+$/, "", name)
      if (tolower(name) != key) next
      value = substr($0, eq + 1); gsub(/^[ \t]+|[ \t]+$/, "", value)
      if (value ~ /^".*"$/) value = substr(value, 2, length(value) - 2)
      found = value
    }
    END { if (found != "") print found }' "$file"
}

# The updater's log (UTF-16 with CR LF line ends) as UTF-8 lines.
updater_log_text() {
  local log=$1
  [ -f "$log" ] || return 0
  iconv -f UTF-16LE -t UTF-8 "$log" | sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//'
}

# Ids of the running processes whose program is the given file.
processes_of() {
  local program=$1 entry pid
  for entry in /proc/[0-9]*; do
    pid=${entry#/proc/}
    [ "$(readlink "$entry/exe" 2>/dev/null)" = "$program" ] && printf '%s\n' "$pid"
  done
  return 0
}

# Checksums of every file below a folder, relative paths, sorted.
checksums() {
  (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort | while IFS= read -r f; do
    printf '%s  %s\n' "$(md5sum <"$f" | cut -c1-32)" "$f"
  done)
}

# One line per file of two checksum lists: what became of it, both checksums.
compare_checksums() {
  join -j 2 -a 1 -a 2 -e - -o 0,1.1,2.1 <(sort -k 2 "$1") <(sort -k 2 "$2") |
    while read -r file before after; do
      if [ "$before" = - ]; then kind=new
      elif [ "$after" = - ]; then kind=removed
      elif [ "$before" = "$after" ]; then kind=unchanged
      else kind=replaced; fi
      printf '%-10s %-22s %s -> %s\n' "$kind" "$file" "$before" "$after"
    done
}

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# First line of the answer to a GET of path from the local server.
http_status() (
  port=$1 path=$2 line=""
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' "$path" >&3
  IFS= read -r line <&3 || true
  printf '%s\n' "${line%$'\r'}"
)

# --- internal step: one start of the application --------------------------------
# Runs the starter the way a desktop launcher would (working folder: the home
# folder) and waits, bounded, for the updater it started to end. It runs inside
# xvfb-run when there is no display, so that the session the starter and the
# updater require exists for the whole run.
if [ "${1:-}" = "--start-and-wait" ]; then
  TIMEOUT=${DEMO_TIMEOUT:-120}
  app=$2
  output=$3
  shift 3
  cd "$HOME"
  "$app/$STARTER_NAME" "$@" >"$output" 2>&1 || {
    echo "the starter ended with $?" >>"$output"
  }
  deadline=$((SECONDS + TIMEOUT))
  while [ -n "$(processes_of "$app/$UPDATER_NAME")" ]; do
    if [ $SECONDS -ge $deadline ]; then
      # The demo's own updater (its program lies in the demo folder) is ended,
      # so that nothing of the demo outlives it.
      echo "the updater still runs after ${TIMEOUT} s; it is ended" >&2
      for pid in $(processes_of "$app/$UPDATER_NAME"); do kill -TERM "$pid" 2>/dev/null || true; done
      exit 3
    fi
    sleep 0.2
  done
  # The browser the starter started ends at once; let it finish its output.
  deadline=$((SECONDS + 10))
  while [ -n "$(processes_of "$app/Browser/chrome")" ] && [ $SECONDS -lt $deadline ]; do
    sleep 0.1
  done
  exit 0
fi

# --- set-up --------------------------------------------------------------------

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build}
[ -d "$BUILD" ] || fail "no build folder $BUILD"
BUILD=$(cd "$BUILD" && pwd)
BIN=$BUILD/bin
for program in "$UPDATER_NAME" "$STARTER_NAME" "$RELEASE_NAME"; do
  [ -x "$BIN/$program" ] || fail "$BIN/$program is missing: build first (./run build)"
done
for version in "$OLD_VERSION" "$NEW_VERSION"; do
  [ -x "$BUILD/demo/$version/chrome" ] ||
    fail "$BUILD/demo/$version/chrome is missing: build the target velmora_sample_browser"
done
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$NGINX" ] || fail "nginx is not installed (apt-get install nginx-light)"
command -v iconv >/dev/null || fail "iconv is missing"
case "$MODE" in
  full | hidden | silent) ;;
  *) fail "DEMO_MODE must be full, silent or hidden, not \"$MODE\"" ;;
esac
HAS_DISPLAY=0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then HAS_DISPLAY=1; fi
# How the updater's windows are seen: by the person at the display (PERSON),
# by the demo itself on a private X server (DRIVE), or not at all (hidden).
PERSON=0
DRIVE=0
TRAY=0
SESSION=()
if [ "$MODE" = full ]; then
  if [ "$HAS_DISPLAY" = 1 ] && [ "$AUTO" != 1 ]; then
    PERSON=1
  else
    DRIVE=1
    for tool in Xvfb xdotool import; do
      command -v "$tool" >/dev/null || fail "$tool is missing (apt-get install xvfb xdotool imagemagick)"
    done
  fi
elif [ "$MODE" = silent ]; then
  # The silent mode needs no clicks: on a display its icon shows in the
  # desktop's notification area; without one (or with DEMO_AUTO=1) on a
  # private X server with a notification area (trayer), photographed.
  if [ "$HAS_DISPLAY" = 0 ] || [ "$AUTO" = 1 ]; then
    TRAY=1
    for tool in Xvfb trayer xdotool import; do
      command -v "$tool" >/dev/null || fail "$tool is missing (apt-get install xvfb trayer xdotool imagemagick)"
    done
  fi
elif [ "$HAS_DISPLAY" = 0 ]; then
  command -v xvfb-run >/dev/null || fail "no display and no xvfb-run (apt-get install xvfb xauth)"
  SESSION=(xvfb-run -a)
fi
if [ "$PERSON" = 1 ]; then TIMEOUT=${DEMO_TIMEOUT:-600}; else TIMEOUT=${DEMO_TIMEOUT:-120}; fi
export DEMO_TIMEOUT=$TIMEOUT
SHOTS=${DEMO_SHOTS:-$BUILD/demo-screenshots}

DEMO=$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo.XXXXXX")
DEMO=$(cd "$DEMO" && pwd -P)
NGINX_PID=""
XVFB_PID=""

cleanup() {
  local status=$?
  if [ -n "$XVFB_PID" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
    kill -TERM "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  if [ -n "$NGINX_PID" ] && kill -0 "$NGINX_PID" 2>/dev/null; then
    kill -QUIT "$NGINX_PID" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$NGINX_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$NGINX_PID" 2>/dev/null || true
    wait "$NGINX_PID" 2>/dev/null || true
  fi
  if [ "${DEMO_KEEP:-0}" = 1 ]; then
    say "demo: the demo folder is kept: $DEMO"
  else
    rm -rf "$DEMO"
  fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The user's own folders stay untouched: everything points into the demo.
export HOME=$DEMO/home
export XDG_CONFIG_HOME=$HOME/.config
export XDG_DATA_HOME=$HOME/.local/share
export XDG_DESKTOP_DIR=$HOME/Desktop
export TMPDIR=$DEMO/tmp
# The local server is reached directly, never through a proxy.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_DESKTOP_DIR" "$TMPDIR"
chmod 700 "$TMPDIR"

APP=$DEMO/app
WWW=$DEMO/www
RELEASES=$DEMO/releases
SETTINGS=$APP/settings.ini
SECTIONS_FILE="$APP/sections_$APP_NAME.xml"
STARTER_LOG=$HOME/velmora_starter.log
UPDATER_LOG="$TMPDIR/velmora-$(id -u)/Updater log for $APP_NAME.txt"
REGISTRY=$XDG_CONFIG_HOME/velmora/registry
SHORTCUT="$XDG_DATA_HOME/applications/$APP_NAME.desktop"

say "demo: folder $DEMO"

# --- the two releases ----------------------------------------------------------
# A release is the content of the application's folder Browser/: the program,
# its settings and its data.
make_release() {
  local version=$1 folder=$RELEASES/$1
  mkdir -p "$folder/data"
  cp "$BUILD/demo/$version/chrome" "$folder/chrome"
  chmod 755 "$folder/chrome"
  printf '[General]\nHomePage=velmora://start\nChannel=stable\n' >"$folder/browser.ini"
  printf 'Velmora\thttps://velmora.example/\n' >"$folder/data/bookmarks.txt"
}
make_release "$OLD_VERSION"
printf 'Welcome to Velmora Browser 1.0\n' >"$RELEASES/$OLD_VERSION/data/startpage.txt"
printf 'legacy plug-in, dropped in 2.0\n' >"$RELEASES/$OLD_VERSION/data/legacy-plugin.dat"
make_release "$NEW_VERSION"
printf 'Welcome to Velmora Browser 2.0 - now with tab groups\n' \
  >"$RELEASES/$NEW_VERSION/data/startpage.txt"
printf 'What is new in 2.0: tab groups, a faster start page.\n' \
  >"$RELEASES/$NEW_VERSION/data/whatsnew.txt"
# An optional part, new in 2.0: the wizard's selection page offers it.
mkdir -p "$RELEASES/$NEW_VERSION/themes"
printf '[Theme]\nName=Dusk\nBackground=#1d2333\n' >"$RELEASES/$NEW_VERSION/themes/dusk.theme"

# --- the installed application 1.0.0.0 ----------------------------------------
mkdir -p "$APP/Browser"
cp "$BIN/$STARTER_NAME" "$BIN/$UPDATER_NAME" "$APP/"
# The windows ship beside the updater, which loads them for a mode with windows.
if [ -f "$BIN/libvelmora_windows.so" ]; then cp "$BIN/libvelmora_windows.so" "$APP/"; fi
cp -a "$RELEASES/$OLD_VERSION/." "$APP/Browser/"
cat >"$SETTINGS" <<EOF
[UPDATER]
RUNMODE=$MODE

[UPDATEINFO]
URL=%updater%updatefile.xml
APIHOST=

[APPLICATION]
NAME=$APP_NAME
LOCATION=%updater%Browser/chrome
VERSION=$OLD_VERSION
EOF

# --- the local server ------------------------------------------------------------
PORT=""
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 40000))
  if ! port_in_use "$candidate"; then
    PORT=$candidate
    break
  fi
done
[ -n "$PORT" ] || fail "no free loopback port found"
BASE_URL="http://127.0.0.1:$PORT/"

# The update file shipped with every installed version is a pointer: its
# update sequence sends every version (all are older than the highest version
# there is) to the release's update file on the server. It never changes
# between releases, so the vendor's current update file is always the one on
# the server.
cat >"$APP/updatefile.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<UPDATEINFO>
  <SEQUENCE>
    <MINIMUMVERSION>65535.65535.65535.65535</MINIMUMVERSION>
    <LOCATION>${BASE_URL}updatefile.xml</LOCATION>
  </SEQUENCE>
</UPDATEINFO>
EOF

# --- release 2.0.0.0 -------------------------------------------------------------
step "release $NEW_VERSION: $RELEASE_NAME"
"$BIN/$RELEASE_NAME" --previous "$RELEASES/$OLD_VERSION" --next "$RELEASES/$NEW_VERSION" \
  --version "$NEW_VERSION" --base-url "$BASE_URL" --output "$WWW" \
  --application-name "$APP_NAME" --sections toplevel 2>&1 | indent ||
  fail "the release tool failed"
UPDATE_FILE=$WWW/updatefile.xml
[ -f "$UPDATE_FILE" ] || fail "the release tool wrote no update file"

# What the release tool does not write, the vendor adds to the update file:
# - an INI item: a new setting in the browser's own browser.ini (the file
#   itself is the user's and is not replaced);
# - registry values under the current user's key;
# - a start-menu shortcut to the starter;
# - with DEMO_PENDING=1: the new files go into the pending installation
#   InstallerTemp/ beside the starter instead of over the files of the running
#   browser, and a second INI item writes its marker InstallerTemp/settings.ini
#   with the new VERSION (after the files, so the marker appears only once they
#   are all there); the starter moves them into place at the next start, when
#   neither the browser nor the updater runs. Removed files are deleted at once.
PENDING_MARKER=""
if [ "$PENDING" = 1 ]; then
  sed -i 's#<NEWLOCATION>%app%#<NEWLOCATION>%updater%InstallerTemp/Browser/#' "$UPDATE_FILE"
  PENDING_MARKER=$(
    cat <<EOF
    <ITEM>
      <LOCATION>%updater%InstallerTemp/settings.ini</LOCATION>
      <GROUP>APPLICATION</GROUP>
      <KEY>VERSION</KEY>
      <VALUE>$NEW_VERSION</VALUE>
    </ITEM>
EOF
  )
fi
export EXTRA
EXTRA=$(
  cat <<EOF
  <INI>
    <ITEM>
      <LOCATION>%app%browser.ini</LOCATION>
      <GROUP>Features</GROUP>
      <KEY>TabGroups</KEY>
      <VALUE>on</VALUE>
    </ITEM>
$PENDING_MARKER
  </INI>
  <REGISTRY>
    <ITEM type="string">
      <KEY>HKEY_CURRENT_USER\\Software\\Velmora\\$APP_NAME\\Version</KEY>
      <VALUE>$NEW_VERSION</VALUE>
    </ITEM>
    <ITEM type="dword">
      <KEY>HKEY_CURRENT_USER\\Software\\Velmora\\$APP_NAME\\TabGroups</KEY>
      <VALUE>1</VALUE>
    </ITEM>
  </REGISTRY>
  <SHORTCUTS askuser="false">
    <SHORTCUT>
      <TARGETFILE>%updater%$STARTER_NAME</TARGETFILE>
      <WORKINGDIRECTORY>%updater%</WORKINGDIRECTORY>
      <DESCRIPTION>$APP_NAME</DESCRIPTION>
      <LINKFILE>%menustartcurrentuser%$APP_NAME.desktop</LINKFILE>
    </SHORTCUT>
  </SHORTCUTS>
EOF
)
awk '/^<\/UPDATEINFO>/ { print ENVIRON["EXTRA"] } { print }' "$UPDATE_FILE" >"$UPDATE_FILE.new"
mv "$UPDATE_FILE.new" "$UPDATE_FILE"
grep -q '<SHORTCUTS' "$UPDATE_FILE" || fail "could not add the INI, registry and shortcut items"

# What the wizard shows: a licence, an HTML message served by the same nginx
# (Next counts down its seconds first), the features with their links, and
# titles and descriptions for the three parts of the release (the release
# tool names them after their folders); the themes are optional.
cat >"$WWW/whatsnew.html" <<EOF
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>What is new</title></head>
<body style="font-family: sans-serif; margin: 16px">
<h2 style="color: #1f5fa8">$APP_NAME $NEW_VERSION</h2>
<p>Tab groups keep the pages of one task together.</p>
<p>The start page opens faster and shows what you read last.</p>
<p><a href="${BASE_URL}updatefile.xml">The update file of this release</a></p>
</body></html>
EOF
export HEAD_EXTRA GENERAL_EXTRA FEATURES
HEAD_EXTRA=$(
  cat <<EOF
  <HTMLMESSAGE>
    <URL>${BASE_URL}whatsnew.html</URL>
    <TIME>3</TIME>
  </HTMLMESSAGE>
EOF
)
GENERAL_EXTRA=$(
  cat <<EOF
    <LICENSE>VELMORA BROWSER LICENCE AGREEMENT

1. You may install and use this program on any number of computers.
2. The program comes without warranty of any kind.
3. Updates are delivered over the network; the updater checks every file it installs.

By accepting, you agree to these terms.</LICENSE>
EOF
)
FEATURES=$(
  cat <<EOF
  <FEATURES>
    <FEATURE><TEXT>Tab groups</TEXT><LINK>${BASE_URL}whatsnew.html</LINK></FEATURE>
    <FEATURE><TEXT>A faster start page</TEXT></FEATURE>
    <FEATURE><TEXT>The Dusk theme (optional)</TEXT><LINK>${BASE_URL}whatsnew.html</LINK></FEATURE>
  </FEATURES>
EOF
)
awk '/^  <GENERAL>/ { print ENVIRON["HEAD_EXTRA"] }
     /^  <\/GENERAL>/ { print ENVIRON["GENERAL_EXTRA"] }
     { print }
     /^  <\/GENERAL>/ { print ENVIRON["FEATURES"] }' "$UPDATE_FILE" >"$UPDATE_FILE.new"
sed -i \
  -e "s#<SECTION name=\"$APP_NAME\" title=\"$APP_NAME\"#<SECTION name=\"$APP_NAME\" title=\"Program\" description=\"The browser itself.\" enabled=\"false\"#" \
  -e 's#<SECTION name="data" title="data"#<SECTION name="data" title="Start page" description="The new start page and what is new in 2.0."#' \
  -e "s#<SECTION name=\"themes\" title=\"themes\"#<SECTION name=\"themes\" title=\"Dusk theme\" description=\"A dark theme for the evening (optional).\" url=\"${BASE_URL}whatsnew.html\"#" \
  "$UPDATE_FILE.new"
mv "$UPDATE_FILE.new" "$UPDATE_FILE"
for part in '<HTMLMESSAGE>' '<LICENSE>' '<FEATURES>' 'title="Dusk theme"' 'title="Start page"' 'title="Program"'; do
  grep -q "$part" "$UPDATE_FILE" || fail "could not add $part to the update file"
done
say "update file (served as ${BASE_URL}updatefile.xml):"
indent <"$UPDATE_FILE"

# --- nginx -------------------------------------------------------------------------
NGINX_DIR=$DEMO/nginx
mkdir -p "$NGINX_DIR/logs" "$NGINX_DIR/temp"
temp_paths=""
for kind in client_body proxy fastcgi uwsgi scgi; do
  module=${kind%_body}
  if ! "$NGINX" -V 2>&1 | grep -q -- "--without-http_${module}_module"; then
    temp_paths+="  ${kind}_temp_path $NGINX_DIR/temp/$kind;"$'\n'
  fi
done
cat >"$NGINX_DIR/nginx.conf" <<EOF
# One process that keeps the current user: no master, no privilege change.
daemon off;
master_process off;
worker_processes 1;
pid $NGINX_DIR/nginx.pid;
error_log $NGINX_DIR/logs/error.log;
events { worker_connections 64; }
http {
  access_log $NGINX_DIR/logs/access.log;
$temp_paths  types { application/xml xml; text/plain txt; text/html html; }
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$PORT;
    root $WWW;
  }
}
EOF
step "server: nginx on 127.0.0.1:$PORT serving $WWW"
"$NGINX" -p "$NGINX_DIR" -c "$NGINX_DIR/nginx.conf" -e "$NGINX_DIR/logs/error.log" \
  </dev/null >"$NGINX_DIR/logs/stdout.log" 2>&1 &
NGINX_PID=$!
for _ in $(seq 100); do
  kill -0 "$NGINX_PID" 2>/dev/null || break
  port_in_use "$PORT" && break
  sleep 0.1
done
if ! kill -0 "$NGINX_PID" 2>/dev/null || ! port_in_use "$PORT"; then
  cat "$NGINX_DIR/logs/error.log" "$NGINX_DIR/logs/stdout.log" 2>/dev/null | indent >&2
  fail "nginx did not start on port $PORT"
fi
say "GET /updatefile.xml: $(http_status "$PORT" /updatefile.xml)"

# --- before ----------------------------------------------------------------------
step "installed: $APP_NAME $OLD_VERSION in $APP"
say "settings.ini VERSION: $(ini_get "$SETTINGS" APPLICATION VERSION)"
say "Browser/chrome prints:"
"$APP/Browser/chrome" | indent
say "files of Browser/ (md5):"
checksums "$APP/Browser" | tee "$DEMO/checksums-before.txt" | indent

# --- the wizard, driven as a person would (DRIVE) --------------------------------
# A private X server on a free display; stopped by cleanup.
start_private_x() {
  local n
  for n in $(seq 90 189); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -nolisten tcp -screen 0 1024x768x24 >"$DEMO/xvfb-$n.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$n"
      unset WAYLAND_DISPLAY
      say "private X server on $DISPLAY"
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  done
  fail "no free display for the private X server"
}

# The lines of this run's updater log.
log_has() { updater_log_text "$UPDATER_LOG" 2>/dev/null | grep -qF -- "$1"; }

# Waits, bounded, until the log holds a line; false when it does not come.
wait_log() {
  local line=$1 seconds=${2:-60} deadline
  deadline=$((SECONDS + seconds))
  until log_has "$line"; do
    [ $SECONDS -ge "$deadline" ] && return 1
    updater_running || return 1
    sleep 0.1
  done
}

updater_running() { [ -n "$(processes_of "$APP/$UPDATER_NAME")" ]; }

# The wizard's window, once it is on the screen.
WIZARD=""
wait_wizard() {
  WIZARD=$(xdotool search --sync --onlyvisible --name "^$WINDOW_TITLE\$" 2>/dev/null | head -n 1) || true
  [ -n "$WIZARD" ] || drive_fail "the wizard did not appear"
}

# Keys to the wizard, as typed by a person with the window focused.
keys() { xdotool windowfocus --sync "$WIZARD" key --delay 80 "$@"; }

# A screenshot of the screen once it stopped changing (the page has been
# painted), into the screenshot folder.
SHOT=0
shot() {
  local name=$1 file previous="" current="" i
  SHOT=$((SHOT + 1))
  file=$(printf '%s/%02d-%s.png' "$SHOTS" "$SHOT" "$name")
  for i in $(seq 25); do
    import -window root "$file.tmp.png" 2>/dev/null || true
    current=$(md5sum <"$file.tmp.png" | cut -c1-32)
    [ "$current" = "$previous" ] && break
    previous=$current
    sleep 0.2
  done
  mv "$file.tmp.png" "$file"
  say "    screenshot $(basename "$file")"
}

drive_fail() {
  shot failure 2>/dev/null || true
  for pid in $(processes_of "$APP/$UPDATER_NAME"); do kill -TERM "$pid" 2>/dev/null || true; done
  fail "driving the wizard: $*"
}

# Presses a key until the log shows a line (a button that is still disabled,
# as Next during the HTML page's countdown, ignores the key), bounded.
press_until() {
  local key=$1 line=$2 seconds=${3:-30} deadline
  deadline=$((SECONDS + seconds))
  until log_has "$line"; do
    [ $SECONDS -ge "$deadline" ] && drive_fail "no \"$line\" after $key"
    keys "$key"
    wait_log "$line" 1 || true
  done
}

# The update: every page, as a person clicks through it. With "untick" the
# optional section is left out.
drive_update() {
  local choice=${1:-keep}
  wait_wizard
  shot welcome
  press_until Return "starting task: TASK_CHECKVERSION"
  wait_log "task ready: TASK_CHECKVERSION" || drive_fail "the check did not end"
  shot check
  press_until Return "starting task: TASK_HTMLMESSAGE"
  shot html-message
  press_until Return "starting task: TASK_LICENSE" 30
  shot licence
  accept_licence
  shot licence-accepted
  press_until Return "starting task: TASK_SELECTUPDATE"
  shot selection
  if [ "$choice" = untick ]; then
    untick_optional_section
    shot selection-unticked
  fi
  press_until Return "starting task: TASK_DOWNLOAD"
  shot download
  wait_log "task ready: TASK_DOWNLOAD" || drive_fail "the download did not end"
  shot download-done
  press_until Return "starting task: TASK_INSTALL"
  wait_log "task ready: TASK_INSTALL" || drive_fail "the installation did not end"
  shot install-done
  keys Return
  shot finish
  keys Return
}

# The next start: the application is up to date.
drive_up_to_date() {
  wait_wizard
  shot welcome-again
  press_until Return "starting task: TASK_CHECKVERSION"
  wait_log "No new version is found" || drive_fail "the check did not report the application as up to date"
  shot no-new-version
  keys Return
}

# The licence's "accept" button and the optional section's check box, by
# keyboard as the wizard offers them.
accept_licence() { keys Up; }
untick_optional_section() { keys Down Down space; }

if [ "$DRIVE" = 1 ]; then
  start_private_x
  mkdir -p "$SHOTS"
  rm -f "$SHOTS"/*.png
fi

# The silent mode on the private X server: a notification area (trayer, ended
# with its X server) for the updater's icon.
if [ "$TRAY" = 1 ]; then
  start_private_x
  trayer --edge bottom --align right --widthtype request --height 32 --heighttype pixel \
    --transparent false >"$DEMO/trayer.log" 2>&1 &
  for _ in $(seq 100); do
    xdotool search --onlyvisible --class trayer >/dev/null 2>&1 && break
    sleep 0.1
  done
  mkdir -p "$SHOTS"
  rm -f "$SHOTS"/*.png
fi

# One start of the application by the starter, then the wait for the updater.
START=0
start_application() {
  START=$((START + 1))
  local output=$DEMO/start-$START.out lines_before=0
  [ -f "$STARTER_LOG" ] && lines_before=$(wc -l <"$STARTER_LOG")
  step "start $START: $STARTER_NAME $*"
  local status=0
  rm -f "$UPDATER_LOG"
  if [ "$DRIVE" = 1 ]; then
    bash "$0" --start-and-wait "$APP" "$output" "$@" &
    local waiter=$!
    # The first update leaves the optional section out; the next start offers
    # it again and takes it; then the application is up to date.
    case "$START" in
      1) drive_update untick ;;
      2) drive_update keep ;;
      *) drive_up_to_date ;;
    esac
    wait "$waiter" || status=$?
  elif [ "$TRAY" = 1 ]; then
    # The run goes on by itself; the screen once the download has begun.
    bash "$0" --start-and-wait "$APP" "$output" "$@" &
    local waiter=$!
    local deadline=$((SECONDS + 60))
    until log_has "starting task: TASK_DOWNLOAD" || log_has "task ready: TASK_CHECKVERSION"; do
      [ $SECONDS -lt "$deadline" ] && kill -0 "$waiter" 2>/dev/null || break
      sleep 0.1
    done
    if log_has "silent mode: the icon is in the desktop's notification area"; then
      import -window root "$SHOTS/$(printf '%02d' "$START")-tray.png" 2>/dev/null &&
        say "    screenshot $(printf '%02d' "$START")-tray.png"
    fi
    wait "$waiter" || status=$?
  else
    if [ "$PERSON" = 1 ]; then
      say "the wizard is on your display: click through it (Next, accept the licence, Finish)"
    fi
    "${SESSION[@]}" bash "$0" --start-and-wait "$APP" "$output" "$@" || status=$?
  fi
  say "starter log:"
  tail -n +"$((lines_before + 1))" "$STARTER_LOG" 2>/dev/null | grep -v '^[[:space:]]*$' | indent
  say "browser output:"
  indent <"$output"
  say "updater log, task lines:"
  updater_log_text "$UPDATER_LOG" | tee "$DEMO/updater-log-$START.txt" |
    grep -E 'starting task: |task ready: |[Nn]ew version|[Ee]rror' | indent || true
  [ $status -eq 0 ] || {
    say "updater log:"
    updater_log_text "$UPDATER_LOG" | indent
    fail "start $START: the updater did not end within ${TIMEOUT} s (status $status)"
  }
}

# --- the update -------------------------------------------------------------------
start_application --new-window velmora://start

step "after the update run"
if [ "$PENDING" = 1 ]; then
  say "Browser/chrome prints (the new files wait in InstallerTemp/ for the next start):"
else
  say "Browser/chrome prints:"
fi
"$APP/Browser/chrome" | indent
say "settings.ini VERSION: $(ini_get "$SETTINGS" APPLICATION VERSION)"
say "installed sections ($(basename "$SECTIONS_FILE")):"
if [ -f "$SECTIONS_FILE" ]; then indent <"$SECTIONS_FILE"; else say "    (none)"; fi
say "pending installation InstallerTemp/ (md5):"
if [ -d "$APP/InstallerTemp" ]; then
  checksums "$APP/InstallerTemp" | indent
else
  say "    (none)"
fi
say "INI value written: [Features] TabGroups = $(ini_get "$APP/Browser/browser.ini" Features TabGroups)"
say "registry store ($REGISTRY):"
if [ -d "$REGISTRY" ]; then
  find "$REGISTRY" -type f | LC_ALL=C sort | while IFS= read -r file; do
    say "    ${file#"$REGISTRY"/}:"
    sed 's/^/        /' "$file"
  done
else
  say "    (none)"
fi
say "shortcut:"
if [ -f "$SHORTCUT" ]; then
  say "    $SHORTCUT"
  sed 's/^/        /' "$SHORTCUT"
else
  say "    (none)"
fi
say "files removed at once:"
[ -e "$APP/Browser/data/legacy-plugin.dat" ] || say "    data/legacy-plugin.dat"
say "optional section \"Dusk theme\" (themes/dusk.theme): $([ -e "$APP/Browser/themes/dusk.theme" ] && echo installed || echo not installed)"

if [ "$DRIVE" = 1 ] && [ "$PENDING" = 0 ]; then
  # The demo unticked the optional section in the wizard.
  [ ! -e "$APP/Browser/themes/dusk.theme" ] || fail "the unticked section was installed"
fi

# --- the next starts -----------------------------------------------------------------
# In the wizard the optional section was left out: the next start offers it
# again (the installed sections record the others), and the demo takes it.
UPDATES=1
if [ "$DRIVE" = 1 ]; then
  start_application
  UPDATES=2
fi
# The second start finds the application up to date (the updater reports no
# new version). With DEMO_PENDING=1 it first applies the pending installation,
# and a third start shows that it is applied only once.
start_application
if [ "$PENDING" = 1 ]; then start_application; fi

# --- result ------------------------------------------------------------------------
step "result"
say "files of Browser/, md5 before -> after:"
checksums "$APP/Browser" >"$DEMO/checksums-after.txt"
compare_checksums "$DEMO/checksums-before.txt" "$DEMO/checksums-after.txt" | indent
say "requests to the server:"
awk '{ print $6, $7, $9 }' "$NGINX_DIR/logs/access.log" | tr -d '"' | indent
CHROME_NOW=$("$APP/Browser/chrome" 2>&1 | head -n 1 || true)
VERSION_NOW=$(ini_get "$SETTINGS" APPLICATION VERSION)
APPLIED=$(grep -c "Folder Copied: $APP/InstallerTemp -->" "$STARTER_LOG" || true)
say "Browser/chrome prints: $CHROME_NOW"
say "settings.ini VERSION: $VERSION_NOW"
say "pending installation applied: $APPLIED time(s) in $START starts"
UP_TO_DATE=$(grep -c 'No new version is found' "$DEMO/updater-log-$START.txt" || true)
say "the updater of the last start found no new version: $([ "$UP_TO_DATE" -ge 1 ] && echo yes || echo no)"

[ "$CHROME_NOW" = "$APP_NAME $NEW_VERSION" ] || fail "the browser is not $NEW_VERSION"
[ "$VERSION_NOW" = "$NEW_VERSION" ] || fail "the settings do not record $NEW_VERSION"
if [ "$PENDING" = 1 ]; then
  [ "$APPLIED" = "$UPDATES" ] ||
    fail "the pending installation was applied $APPLIED times, not $UPDATES"
else
  [ "$APPLIED" = 0 ] || fail "a pending installation was applied although none was made"
fi
[ "$UP_TO_DATE" -ge 1 ] || fail "the updater of the last start still finds a new version"
if [ "$PERSON" = 0 ]; then
  # Installed by the first update, or (in the wizard) by the second.
  [ -e "$APP/Browser/themes/dusk.theme" ] || fail "the optional section was not installed"
fi
say ""
if [ "$DRIVE" = 1 ]; then
  say "demo: screenshots of every page of the wizard: $SHOTS"
elif [ "$TRAY" = 1 ]; then
  say "demo: screenshot of the silent run's icon and notification: $SHOTS"
fi
say "demo: $APP_NAME was updated from $OLD_VERSION to $NEW_VERSION"
