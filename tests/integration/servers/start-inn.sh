#!/usr/bin/env bash
# Private INN 2 instances on loopback, running as user news with every path inside <dir>, each
# with the groups fj.a and fj.b:
# - the main innd on 127.0.0.1:<free port>, which hands a reader at 127.0.0.1 straight to nnrpd;
# - over the same spool, nnrpd daemons of their own: a read-only one on 127.0.0.1 (greeting
#   "201": no posting) and, with a test CA and a certificate for 127.0.0.2, one offering STARTTLS
#   and one speaking TLS from the first byte (NNTPS), both on 127.0.0.2;
# - a second innd with a spool of its own that takes 127.0.0.1 for a feeding peer: a reader
#   there gets the transit greeting and is served GROUP only after MODE READER.
# Usage: start-inn.sh <dir>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

dir=$1
bin=/usr/lib/news/bin
[[ -x $bin/innd ]] || harness_die "inn2 is not installed"

# Sets <key>: <value> in the inn.conf <conf>.
set_conf() {
    sed -i -E "/^$2:/d" "$1"
    printf '%s: %s\n' "$2" "$3" >>"$1"
}

as_news() {
    setpriv --reuid=news --regid=news --init-groups "$@"
}

# An INN tree below <root> for innd on 127.0.0.1:<port>; with <feed> "feed", a connection from
# 127.0.0.1 is a feeding peer's.
make_inn_root() {
    local root=$1 port=$2 feed=$3 conf=$1/etc/inn.conf key group
    mkdir -p "$root"/{etc,db,run,log,http,spool/{articles,overview,incoming/tmp,outgoing,archive}}
    cp -a /etc/news/. "$root/etc/"
    for key in domain:localdomain pathhost:kestrel-it.localdomain server:127.0.0.1 \
        port:"$port" bindaddress:127.0.0.1 nnrpdpostport:"$port" pathetc:"$root/etc" \
        pathfilter:"$root/etc/filter" pathdb:"$root/db" pathrun:"$root/run" \
        pathlog:"$root/log" pathhttp:"$root/http" pathspool:"$root/spool" \
        patharticles:"$root/spool/articles" pathoverview:"$root/spool/overview" \
        pathincoming:"$root/spool/incoming" pathoutgoing:"$root/spool/outgoing" \
        patharchive:"$root/spool/archive" pathtmp:"$root/spool/incoming/tmp" \
        doinnwatch:false htmlstatus:false nnrpdloadlimit:0; do
        set_conf "$conf" "${key%%:*}" "${key#*:}"
    done
    set_conf "$conf" organization '"Kestrel test harness"'

    # A host listed here is taken as a feed (transit mode) instead of a reader. Local posts
    # reach innd over its Unix socket in pathrun.
    printf 'streaming: true\nmax-connections: 8\n' >"$root/etc/incoming.conf"
    if [[ $feed == feed ]]; then
        printf 'peer harness {\n    hostname: "127.0.0.1"\n}\n' >>"$root/etc/incoming.conf"
    fi
    printf 'ME:!*/!local::\n' >"$root/etc/newsfeeds"

    cp /usr/lib/news/examples/active "$root/db/active"
    cp /usr/lib/news/examples/newsgroups "$root/db/newsgroups"
    for group in fj.a fj.b; do
        printf '%s 0000000000 0000000001 y\n' "$group" >>"$root/db/active"
        printf '%s\t%s\n' "$group" "Kestrel test group $group" >>"$root/db/newsgroups"
    done
    touch "$root/db/active.times" "$root/db/history"
    chown -R news:news "$root"
    (cd "$root/db" && as_news env INNCONF="$conf" "$bin/makedbz" -i -o) ||
        harness_die "makedbz failed"
}

# Starts innd of <root> on <port>, its pid file named <name>.
start_innd() {
    local root=$1 port=$2 name=$3
    setsid setpriv --reuid=news --regid=news --init-groups env INNCONF="$root/etc/inn.conf" \
        "$bin/innd" -f >"$root/log/innd.out" 2>&1 </dev/null &
    echo $! >"$(harness_pidfile "$dir" "$name")"
    if ! harness_wait_port "$port" 30; then
        cat "$root/log/innd.out" "$root/log/news.err" >&2 2>/dev/null || true
        harness_die "innd does not listen on $port"
    fi
}

# Starts an nnrpd daemon with the inn.conf <conf> on <host>:<port>, its pid file named <name>;
# further arguments go to nnrpd.
start_nnrpd() {
    local conf=$1 host=$2 port=$3 name=$4
    shift 4
    setsid setpriv --reuid=news --regid=news --init-groups env INNCONF="$conf" "$bin/nnrpd" \
        -D -f -b "$host" -p "$port" "$@" >"$root/log/nnrpd-$name.out" 2>&1 </dev/null &
    echo $! >"$(harness_pidfile "$dir" "nnrpd-$name")"
    harness_wait_port "$port" 30 "$host" || {
        cat "$root/log/nnrpd-$name.out" >&2 2>/dev/null || true
        harness_die "nnrpd ($name) does not listen on $host:$port"
    }
}

root=$dir/inn
port=$(harness_free_port)
make_inn_root "$root" "$port" reader
start_innd "$root" "$port" inn
conf=$root/etc/inn.conf

# Readers may read, never post: nnrpd greets them with "201".
ro_port=$(harness_free_port)
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
start_nnrpd "$conf" 127.0.0.1 "$ro_port" ro -c "$root/etc/readers-ro.conf"

# TLS: the same tree with nnrpd's certificate settings in an inn.conf of their own, so the
# main innd's readers stay in clear.
pki=$root/pki
harness_make_pki "$pki" 127.0.0.2
chown -R news:news "$pki"
tls_conf=$root/etc/inn-tls.conf
cp "$conf" "$tls_conf"
set_conf "$tls_conf" tlscafile "$pki/ca.pem"
set_conf "$tls_conf" tlscertfile "$pki/server.pem"
set_conf "$tls_conf" tlskeyfile "$pki/server.key"
chown news:news "$tls_conf"
starttls_port=$(harness_free_port)
nntps_port=$(harness_free_port)
start_nnrpd "$tls_conf" 127.0.0.2 "$starttls_port" starttls
start_nnrpd "$tls_conf" 127.0.0.2 "$nntps_port" nntps -S

# Readers at 127.0.0.1 are a feeding peer here: served in reader mode only.
feed_root=$dir/inn-feed
feed_port=$(harness_free_port)
make_inn_root "$feed_root" "$feed_port" feed
start_innd "$feed_root" "$feed_port" inn-feed

harness_env "$dir" KESTREL_IT_NNTP_HOST 127.0.0.1
harness_env "$dir" KESTREL_IT_NNTP_PORT "$port"
harness_env "$dir" KESTREL_IT_NNTP_RO_PORT "$ro_port"
harness_env "$dir" KESTREL_IT_NNTP_TLS_HOST 127.0.0.2
harness_env "$dir" KESTREL_IT_NNTP_STARTTLS_PORT "$starttls_port"
harness_env "$dir" KESTREL_IT_NNTPS_PORT "$nntps_port"
harness_env "$dir" KESTREL_IT_NNTP_TLS_CA "$pki/ca.pem"
harness_env "$dir" KESTREL_IT_NNTP_FEED_PORT "$feed_port"
harness_env "$dir" KESTREL_IT_NNTP_GROUPS "fj.a fj.b"
harness_env "$dir" KESTREL_IT_INNCONF "$conf"
harness_env "$dir" KESTREL_IT_NNTP_POST "$here/post-article.py"
harness_log "INN on 127.0.0.1:$port (groups fj.a fj.b), read-only nnrpd on $ro_port," \
    "STARTTLS on 127.0.0.2:$starttls_port, NNTPS on 127.0.0.2:$nntps_port," \
    "reader mode only on 127.0.0.1:$feed_port"
