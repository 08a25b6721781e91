# Helpers shared by the harness scripts; sourced, not run.

harness_die() {
    echo "harness: $*" >&2
    exit 1
}

harness_log() {
    [[ -n ${KESTREL_IT_QUIET:-} ]] || echo "harness: $*"
}

# A port nobody listens on right now on any address (the TLS servers listen on 127.0.0.2),
# and one this harness has not handed out before: the servers bind them only later, so two
# calls could otherwise get the same port. The ports given go to $dir/ports.
harness_free_port() {
    python3 - "$dir/ports" <<'PY'
import socket, sys
try:
    given = set(open(sys.argv[1]).read().split())
except FileNotFoundError:
    given = set()
while True:
    s = socket.socket()
    s.bind(("0.0.0.0", 0))
    port = str(s.getsockname()[1])
    s.close()
    if port not in given:
        break
with open(sys.argv[1], "a") as f:
    f.write(port + "\n")
print(port)
PY
}

# Waits until something accepts on <host>:<port> (127.0.0.1 unless given), up to <seconds>.
harness_wait_port() {
    local port=$1 seconds=${2:-20} host=${3:-127.0.0.1} i
    for ((i = 0; i < seconds * 10; i++)); do
        if (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Writes one exported variable to the env file.
harness_env() {
    local dir=$1 name=$2 value=$3
    # Single quotes keep the file readable by plain "source" and by simple KEY='value' parsers.
    printf "export %s='%s'\n" "$name" "${value//\'/\'\\\'\'}" >>"$dir/servers.env"
}

harness_pidfile() {
    echo "$1/pids/$2.pid"
}

# A test CA and a server certificate signed by it for the IP address <ip> (P-256, a day either
# side of now), in <pki>: ca.pem, ca.key, server.pem, server.key (keys 0600).
harness_make_pki() {
    local pki=$1 ip=$2
    mkdir -p "$pki"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
        -subj "/O=Kestrel test/CN=Kestrel harness CA" -keyout "$pki/ca.key" -out "$pki/ca.pem" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
        2>/dev/null || harness_die "openssl could not make the test CA"
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes \
        -subj "/O=Kestrel test/CN=$ip" -keyout "$pki/server.key" -out "$pki/server.csr" \
        2>/dev/null || harness_die "openssl could not make the server key"
    printf 'basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=IP:%s\n' "$ip" \
        >"$pki/server.ext"
    openssl x509 -req -in "$pki/server.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" \
        -CAcreateserial -days 2 -extfile "$pki/server.ext" -out "$pki/server.pem" 2>/dev/null ||
        harness_die "openssl could not sign the server certificate"
    chmod 600 "$pki/server.key" "$pki/ca.key"
    chmod 644 "$pki/ca.pem" "$pki/server.pem"
}

# The part of a private dovecot's configuration every instance shares: no IMAP, and the
# services that would otherwise want a chroot or a shared socket. Printed for the caller's file.
# The services every private dovecot needs. Its argument, when given, is the imap-login
# service's listeners; without one, IMAP listens nowhere.
harness_dovecot_services() {
    local imap=${1:-}
    if [[ -z $imap ]]; then
        imap='  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    port = 0
  }'
    fi
    printf 'service imap-login {\n%s\n}\n' "$imap"
    cat <<'CONF'
service anvil {
  chroot =
}
service stats {
  unix_listener stats-reader {
    mode = 0600
  }
  unix_listener stats-writer {
    mode = 0600
  }
}
CONF
}

# Starts dovecot with <root>/dovecot.conf, waits for it on 127.0.0.1:<port> and records its
# master's pid under <name>.
harness_start_dovecot() {
    local root=$1 port=$2 name=$3 i
    # The master stays in the background: it must not hold the caller's output open (a
    # "start-all.sh | tee" would wait for it to end).
    dovecot -c "$root/dovecot.conf" </dev/null >"$root/dovecot.out" 2>&1 || {
        cat "$root/dovecot.out" >&2
        harness_die "$name did not start (see $root/dovecot.log)"
    }
    harness_wait_port "$port" 20 ||
        harness_die "$name does not listen on $port (see $root/dovecot.log)"
    # The master writes its pid file after it detaches; the listener is up by then.
    for ((i = 0; i < 50; i++)); do
        [[ -s $root/run/master.pid ]] && break
        sleep 0.1
    done
    cp "$root/run/master.pid" "$(harness_pidfile "$dir" "$name")" ||
        harness_die "$name wrote no pid file"
}
