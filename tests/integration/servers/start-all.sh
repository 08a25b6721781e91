#!/usr/bin/env bash
# Starts every real server the integration tests use, each as a private instance under <dir>,
# listening on 127.0.0.1 only, and writes <dir>/servers.env for the tests to source.
# Usage (as root): start-all.sh <dir>; stop with stop-all.sh <dir>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

[[ $# -eq 1 ]] || harness_die "usage: start-all.sh <dir>"
[[ $(id -u) -eq 0 ]] || harness_die "run as root (dovecot, poppassd and INN need it)"
mkdir -p "$1"
dir=$(cd "$1" && pwd)
[[ ! -e $dir/servers.env ]] || harness_die "$dir already holds a harness; stop it first"

# dovecot's mail user (nobody) and INN's (news) must reach their files below <dir>.
chmod 755 "$dir"
setpriv --reuid=nobody --regid=nogroup --clear-groups test -x "$dir" ||
    harness_die "$dir is not reachable for other users; choose a directory under /tmp"
mkdir -p "$dir/pids"
: >"$dir/servers.env"
harness_env "$dir" KESTREL_IT_DIR "$dir"

# On a failure half-way, stop what already runs.
trap '"$here/stop-all.sh" "$dir" >/dev/null 2>&1 || true' ERR
for server in dbus dovecot dovecot-tls poppassd inn xvfb; do
    "$here/start-$server.sh" "$dir"
done
trap - ERR
harness_log "environment in $dir/servers.env"
