#!/usr/bin/env bash
# Private INN 2 instance on 127.0.0.1:<free port>, running as user news with every path inside
# <dir>/inn and the groups fj.a and fj.b, and beside it a read-only reader server (nnrpd on a
# port of its own, greeting "201": no posting) over the same spool. Usage: start-inn.sh <dir>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

dir=$1
root=$dir/inn
bin=/usr/lib/news/bin
[[ -x $bin/innd ]] || harness_die "inn2 is not installed"
port=$(harness_free_port)
ro_port=$(harness_free_port)

mkdir -p "$root"/{etc,db,run,log,http,spool/{articles,overview,incoming/tmp,outgoing,archive}}
cp -a /etc/news/. "$root/etc/"
conf=$root/etc/inn.conf

set_conf() {
    sed -i -E "/^$1:/d" "$conf"
    printf '%s: %s\n' "$1" "$2" >>"$conf"
}
set_conf domain localdomain
set_conf pathhost kestrel-it.localdomain
set_conf server 127.0.0.1
set_conf port "$port"
set_conf bindaddress 127.0.0.1
set_conf nnrpdpostport "$port"
set_conf pathetc "$root/etc"
set_conf pathfilter "$root/etc/filter"
set_conf pathdb "$root/db"
set_conf pathrun "$root/run"
set_conf pathlog "$root/log"
set_conf pathhttp "$root/http"
set_conf pathspool "$root/spool"
set_conf patharticles "$root/spool/articles"
set_conf pathoverview "$root/spool/overview"
set_conf pathincoming "$root/spool/incoming"
set_conf pathoutgoing "$root/spool/outgoing"
set_conf patharchive "$root/spool/archive"
set_conf pathtmp "$root/spool/incoming/tmp"
set_conf doinnwatch false
set_conf htmlstatus false
set_conf nnrpdloadlimit 0
set_conf organization '"Kestrel test harness"'

# No feed peers: a connection from 127.0.0.1 listed here would be taken as a feed (transit
# mode) instead of a reader. Local posts reach innd over its Unix socket in pathrun.
printf 'streaming: true\nmax-connections: 8\n' >"$root/etc/incoming.conf"
printf 'ME:!*/!local::\n' >"$root/etc/newsfeeds"

cp /usr/lib/news/examples/active "$root/db/active"
cp /usr/lib/news/examples/newsgroups "$root/db/newsgroups"
for group in fj.a fj.b; do
    printf '%s 0000000000 0000000001 y\n' "$group" >>"$root/db/active"
    printf '%s\t%s\n' "$group" "Kestrel test group $group" >>"$root/db/newsgroups"
done
touch "$root/db/active.times" "$root/db/history"
chown -R news:news "$root"

as_news() {
    setpriv --reuid=news --regid=news --init-groups env INNCONF="$conf" "$@"
}
(cd "$root/db" && as_news "$bin/makedbz" -i -o) || harness_die "makedbz failed"

setsid setpriv --reuid=news --regid=news --init-groups env INNCONF="$conf" "$bin/innd" -f \
    >"$root/log/innd.out" 2>&1 </dev/null &
echo $! >"$(harness_pidfile "$dir" inn)"
if ! harness_wait_port "$port" 30; then
    cat "$root/log/innd.out" "$root/log/news.err" >&2 2>/dev/null || true
    harness_die "innd does not listen on $port"
fi

# Readers may read, never post: nnrpd greets them with "201".
cat >"$root/etc/readers-ro.conf" <<CONF
auth "all" {
    hosts: "*"
    default: "<reader>"
}
access "readonly" {
    users: "<reader>"
    newsgroups: "*"
    access: R
}
CONF
chown news:news "$root/etc/readers-ro.conf"
setsid setpriv --reuid=news --regid=news --init-groups env INNCONF="$conf" "$bin/nnrpd" -D -f \
    -b 127.0.0.1 -p "$ro_port" -c "$root/etc/readers-ro.conf" \
    >"$root/log/nnrpd-ro.out" 2>&1 </dev/null &
echo $! >"$(harness_pidfile "$dir" nnrpd-ro)"
harness_wait_port "$ro_port" 30 || harness_die "nnrpd does not listen on $ro_port"

harness_env "$dir" KESTREL_IT_NNTP_HOST 127.0.0.1
harness_env "$dir" KESTREL_IT_NNTP_PORT "$port"
harness_env "$dir" KESTREL_IT_NNTP_RO_PORT "$ro_port"
harness_env "$dir" KESTREL_IT_NNTP_GROUPS "fj.a fj.b"
harness_env "$dir" KESTREL_IT_INNCONF "$conf"
harness_env "$dir" KESTREL_IT_NNTP_POST "$here/post-article.py"
harness_log "INN on 127.0.0.1:$port (groups fj.a fj.b)"
