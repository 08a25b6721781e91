#!/usr/bin/env bash
# Private D-Bus session bus on a socket inside <dir>. Usage: start-dbus.sh <dir>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

dir=$1
mkdir -p "$dir/dbus"
out=$(dbus-daemon --session --fork --nopidfile --address="unix:path=$dir/dbus/session_bus_socket" \
    --print-address=1 --print-pid=1) || harness_die "dbus-daemon did not start"
address=$(sed -n 1p <<<"$out")
pid=$(sed -n 2p <<<"$out")
[[ -n $address && -n $pid ]] || harness_die "dbus-daemon printed no address"
echo "$pid" >"$(harness_pidfile "$dir" dbus)"

DBUS_SESSION_BUS_ADDRESS=$address dbus-send --session --print-reply --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.GetId >/dev/null || harness_die "the session bus does not answer"

harness_env "$dir" DBUS_SESSION_BUS_ADDRESS "$address"
harness_env "$dir" KESTREL_IT_DBUS_ADDRESS "$address"
harness_log "D-Bus session bus at $address"
