#!/usr/bin/env bash
# Stops everything start-all.sh started under <dir>. Usage: stop-all.sh <dir>.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

[[ $# -eq 1 ]] || harness_die "usage: stop-all.sh <dir>"
dir=$1
[[ -d $dir/pids ]] || exit 0

# INN first by its own control channel so it closes its databases cleanly.
for inn in inn inn-feed; do
    if [[ -f $dir/pids/$inn.pid && -f $dir/$inn/etc/inn.conf ]]; then
        setpriv --reuid=news --regid=news --init-groups env INNCONF="$dir/$inn/etc/inn.conf" \
            /usr/lib/news/bin/ctlinnd -t 10 shutdown "harness stop" >/dev/null 2>&1 || true
    fi
done

for pidfile in "$dir"/pids/*.pid; do
    [[ -f $pidfile ]] || continue
    pid=$(cat "$pidfile")
    if [[ $pid =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 50; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
done
rm -f "$dir/servers.env"
harness_log "stopped the servers in $dir"
