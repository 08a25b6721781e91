#!/usr/bin/env bash
# Runs the program (or any command) on a fresh Xvfb display with fresh settings and program
# directories, waits, and saves a screenshot of the whole screen.
#
# Usage: screenshot.sh <display> <seconds> <out.png> [command args...]
#   e.g. screenshot.sh :42 5 /tmp/kestrel.png            (runs build/kestrel)
#        screenshot.sh :42 3 /tmp/x.png xmessage hello
# KESTREL_SHOT_CONF=<file> puts that file in place as the settings (Kestrel.conf) first;
# KESTREL_SHOT_HOME=<dir> seeds the program directory (newschck.lst, kestrel.ini, ...).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [[ $# -lt 3 ]]; then
    sed -n '5,9p' "$0" >&2
    exit 2
fi
display=$1
seconds=$2
out=$3
shift 3
[[ $# -gt 0 ]] || set -- "$root/build/kestrel"
[[ $display == :* ]] || display=":$display"

work=$(mktemp -d /tmp/kestrel-shot.XXXXXX)
xvfb_pid=""
app_pid=""
cleanup() {
    local pid
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for ((i = 0; i < 100; i++)); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
    sleep 0.1
done

mkdir -p "$work/config/Harrowgate" "$work/home"
[[ -z ${KESTREL_SHOT_CONF:-} ]] || cp "$KESTREL_SHOT_CONF" "$work/config/Harrowgate/Kestrel.conf"
# The peer chat broadcasts on every interface: off unless the seeded settings decide.
conf=$work/config/Harrowgate/Kestrel.conf
if ! grep -q '^Chating=' "$conf" 2>/dev/null; then
    if grep -q '^\[PeerChat\]' "$conf" 2>/dev/null; then
        sed -i 's/^\[PeerChat\]$/[PeerChat]\nChating=0/' "$conf"
    else
        printf '\n[PeerChat]\nChating=0\n' >>"$conf"
    fi
fi
[[ -z ${KESTREL_SHOT_HOME:-} ]] || cp -r "$KESTREL_SHOT_HOME/." "$work/home/"

DISPLAY=$display XDG_CONFIG_HOME=$work/config KESTREL_HOME=$work/home QT_QPA_PLATFORM=xcb \
    "$@" >"$work/app.log" 2>&1 &
app_pid=$!
sleep "$seconds"
mkdir -p "$(dirname "$out")"
DISPLAY=$display import -window root "$out"
if ! kill -0 "$app_pid" 2>/dev/null; then
    echo "screenshot.sh: the command had already ended; its output:" >&2
    cat "$work/app.log" >&2
fi
echo "screenshot.sh: saved $out"
