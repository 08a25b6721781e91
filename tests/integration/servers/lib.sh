# Helpers shared by the harness scripts; sourced, not run.

harness_die() {
    echo "harness: $*" >&2
    exit 1
}

harness_log() {
    [[ -n ${KESTREL_IT_QUIET:-} ]] || echo "harness: $*"
}

# A port nobody listens on right now, on loopback only.
harness_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until something accepts on 127.0.0.1:<port>, up to <seconds>.
harness_wait_port() {
    local port=$1 seconds=${2:-20} i
    for ((i = 0; i < seconds * 10; i++)); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
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
