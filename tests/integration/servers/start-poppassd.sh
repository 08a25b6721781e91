#!/usr/bin/env bash
# poppassd under socat on 127.0.0.1:<free port>, for a Unix user made here whose password is
# reset on every start (tests change it). Usage: start-poppassd.sh <dir>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

dir=$1
user=kestrelpw
pass=Kestrel-Pw-31
poppassd=/usr/sbin/poppassd
[[ -x $poppassd ]] || harness_die "$poppassd missing (package poppassd)"
port=$(harness_free_port)

if ! getent passwd "$user" >/dev/null; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
fi
echo "$user:$pass" | chpasswd
# Password ageing would make PAM ask for a change of its own instead of taking ours.
chage -m 0 -M 99999 -d "$(date +%F)" "$user"

mkdir -p "$dir/poppassd"
setsid socat "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork" "EXEC:$poppassd" \
    >"$dir/poppassd/socat.log" 2>&1 </dev/null &
echo $! >"$(harness_pidfile "$dir" poppassd)"
harness_wait_port "$port" 10 || harness_die "socat does not listen on $port"

harness_env "$dir" KESTREL_IT_POPPASSD_HOST 127.0.0.1
harness_env "$dir" KESTREL_IT_POPPASSD_PORT "$port"
harness_env "$dir" KESTREL_IT_POPPASSD_USER "$user"
harness_env "$dir" KESTREL_IT_POPPASSD_PASS "$pass"
harness_log "poppassd on 127.0.0.1:$port (user $user)"
