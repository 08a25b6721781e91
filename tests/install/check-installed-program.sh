#!/usr/bin/env bash
# Starts the installed program (/usr/bin/kestrel, from the Debian package or `cmake --install`)
# on a private Xvfb the way a desktop user would, with fresh settings and an empty home, and
# checks that its main window comes up and that it keeps its files in the user's data
# directory, ~/.local/share/Harrowgate/Kestrel, and writes nothing under /usr.
#
# Usage (as root): check-installed-program.sh [program]
#
# It runs the program twice: as an ordinary user (nobody, with a home of its own under /tmp),
# and as root, who may write /usr/bin and so must not be taken for a build tree. The settings
# turn off everything that would talk to the network: the peer chat (it broadcasts on UDP 2425),
# the ident responder and the mail and news checks.
set -euo pipefail

program=${1:-/usr/bin/kestrel}
title="Kestrel for Intranet"
deadline_s=${KESTREL_CHECK_DEADLINE:-60}

fail() {
    echo "check-installed-program: $*" >&2
    exit 1
}
[[ $(id -u) -eq 0 ]] || fail "run as root (it starts the program as another user and as root)"
[[ -x $program ]] || fail "$program is not installed"
for tool in Xvfb xdotool setpriv; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

work=$(mktemp -d /tmp/kestrel-installed.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# wait_until <what> <command...>: polls the command until it succeeds or the deadline passes.
wait_until() {
    local what=$1 end=$((SECONDS + deadline_s))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < end)) || return 1
        sleep 0.2
    done
    echo "check-installed-program: $what"
}

# A display of our own; -ac because the program runs as a user other than the server's. Xvfb
# picks a free display itself and names it on the descriptor given once it accepts clients.
Xvfb -displayfd 3 -ac -nolisten tcp -noreset -screen 0 1024x768x24 \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_until "Xvfb is up" grep -q . "$work/display" || fail "Xvfb named no display: $(cat "$work/xvfb.log")"
display=:$(head -1 "$work/display")

# A marker older than anything either run can write.
marker=$work/marker
touch "$marker"
sleep 1

# run_as <user> <uid> <gid>: one start of the program by that user, checked, then ended.
run_as() {
    local user=$1 uid=$2 gid=$3
    local home=$work/$user
    local data=$home/.local/share/Harrowgate/Kestrel
    mkdir -p "$home/.config/Harrowgate" "$home/tmp" "$home/runtime"
    # debug=1: the trace log, kestrel.log, is the file the program writes at every start.
    printf '%s\n' '[Environment]' 'debug=1' 'Identify=0' 'MailCheck=0' 'NewsCheck=0' \
        '[PeerChat]' 'Chating=0' >"$home/.config/Harrowgate/Kestrel.conf"
    chown -R "$uid:$gid" "$home"
    chmod 700 "$home" "$home/runtime"

    # setpriv runs the program in its own place (no fork), so the pid is the program's. Only
    # HOME decides where the files go: no XDG_DATA_HOME, no KESTREL_HOME.
    env -i PATH=/usr/bin:/bin HOME="$home" USER="$user" LOGNAME="$user" DISPLAY="$display" \
        QT_QPA_PLATFORM=xcb TMPDIR="$home/tmp" XDG_RUNTIME_DIR="$home/runtime" \
        setpriv --reuid="$uid" --regid="$gid" --clear-groups -- "$program" \
        >"$work/$user.log" 2>&1 &
    local app=$!
    pids+=("$app")

    main_window() {
        kill -0 "$app" 2>/dev/null || return 2
        DISPLAY=$display xdotool search --onlyvisible --name "^$title\$" | grep -q .
    }
    wait_until "$user: the main window is up" main_window ||
        fail "$user: no main window \"$title\" within ${deadline_s}s; the program said: $(cat "$work/$user.log")"
    wait_until "$user: kestrel.log is in $data" test -s "$data/kestrel.log" ||
        fail "$user: no kestrel.log in $data within ${deadline_s}s; there: $(ls -la "$data" 2>&1)"

    local mode owner
    read -r mode owner < <(stat -c '%a %u' "$data")
    [[ $mode == 700 && $owner == "$uid" ]] ||
        fail "$user: $data is mode $mode, owner $owner (want 700, $uid)"
    [[ $(stat -c %u "$data/kestrel.log") == "$uid" ]] || fail "$user: kestrel.log is not $user's"

    kill "$app"
    wait "$app" 2>/dev/null || true
}

run_as nobody "$(id -u nobody)" "$(id -g nobody)"
run_as root 0 0

# Nothing the two runs did may have landed under /usr.
written=$(find /usr -xdev -newer "$marker" -print 2>/dev/null | head -20)
[[ -z $written ]] || fail "written under /usr while the program ran: $written"
echo "check-installed-program: all good ($program)"
