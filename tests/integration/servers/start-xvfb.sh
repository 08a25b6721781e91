#!/usr/bin/env bash
# An X server for tests that need real windows (WM_CLASS look-up, screenshots). Exported as
# KESTREL_IT_DISPLAY only: unit tests keep the offscreen platform. Usage: start-xvfb.sh <dir>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

dir=$1
mkdir -p "$dir/xvfb"
# -displayfd lets Xvfb pick a free display number itself.
exec 5>"$dir/xvfb/display"
setsid Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    >"$dir/xvfb/xvfb.log" 2>&1 </dev/null &
echo $! >"$(harness_pidfile "$dir" xvfb)"
exec 5>&-
for ((i = 0; i < 100; i++)); do
    [[ -s $dir/xvfb/display ]] && break
    sleep 0.1
done
display=$(tr -d '\n' <"$dir/xvfb/display")
[[ -n $display ]] || harness_die "Xvfb did not start (see $dir/xvfb/xvfb.log)"

harness_env "$dir" KESTREL_IT_DISPLAY ":$display"
harness_log "Xvfb on :$display"
