#!/usr/bin/env bash
# A second private dovecot, TLS only: a test CA and a server certificate for 127.0.0.2 made
# here with openssl; POP3 with STLS required (plain log-in refused outside TLS) on
# 127.0.0.2:<port>, and POP3S on 127.0.0.2 and 127.0.0.1 at <port> (the same certificate, so
# 127.0.0.1 is the "wrong host"), and plain POP3 on 127.0.0.1:<port> for the bench. dovecot treats a client at its own address as secured, so
# the STLS listener is on 127.0.0.2, where a client from 127.0.0.1 is a remote one.
# Usage: start-dovecot-tls.sh <dir>; appends to <dir>/servers.env.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

dir=$1
root=$dir/dovecot-tls
user=kestrel
pass=secret
port=$(harness_free_port)
sport=$(harness_free_port)
cport=$(harness_free_port)
imap_port=$(harness_free_port)
imaps_port=$(harness_free_port)

mkdir -p "$root/run" "$root/state" "$root/mail/$user"/{cur,new,tmp}
printf '%s:{PLAIN}%s::::::\n' "$user" "$pass" >"$root/users"

# The test CA and the server's certificate.
pki=$root/pki
harness_make_pki "$pki" 127.0.0.2

# Three unread messages.
for n in 1 2 3; do
    cat >"$root/mail/$user/new/100000000$n.M$n.kestrel-tls" <<MSG
From: sender$n@example.invalid
To: $user@example.invalid
Subject: TLS harness message $n
Date: Mon, 1 Jan 2024 09:0$n:00 +0900
Message-ID: <harness-tls-$n@example.invalid>

Body of message $n.
MSG
done
chown -R nobody:nogroup "$root/mail"
chmod 644 "$root/users"

cat >"$root/dovecot.conf" <<CONF
base_dir = $root/run
state_dir = $root/state
instance_name = kestrel-it-tls-$port
log_path = $root/dovecot.log
auth_verbose = yes
protocols = pop3 imap
listen = 127.0.0.2
ssl = required
ssl_cert = <$pki/server.pem
ssl_key = <$pki/server.key
disable_plaintext_auth = yes
auth_failure_delay = 0
auth_mechanisms = plain
first_valid_uid = 1
mail_location = maildir:$root/mail/%u
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $root/users
}
userdb {
  driver = static
  args = uid=nobody gid=nogroup home=$root/mail/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.2
    port = $port
  }
  inet_listener pop3s {
    address = 127.0.0.2, 127.0.0.1
    port = $sport
    ssl = yes
  }
  # The same mailbox in clear, for the bench's side-by-side figures: a client at dovecot's own
  # address counts as secured, so the plain log-in is allowed here.
  inet_listener pop3clear {
    address = 127.0.0.1
    port = $cport
  }
}
CONF
# IMAP the same way: STARTTLS required on 127.0.0.2, IMAPS on both addresses.
harness_dovecot_services "  inet_listener imap {
    address = 127.0.0.2
    port = $imap_port
  }
  inet_listener imaps {
    address = 127.0.0.2, 127.0.0.1
    port = $imaps_port
    ssl = yes
  }" >>"$root/dovecot.conf"

harness_start_dovecot "$root" "$sport" dovecot-tls
# Every listener, not only the first one waited for: a test may use any of them at once.
harness_wait_port "$port" 20 127.0.0.2 || harness_die "dovecot-tls does not listen on 127.0.0.2:$port"
harness_wait_port "$sport" 20 127.0.0.2 ||
    harness_die "dovecot-tls does not listen on 127.0.0.2:$sport"
harness_wait_port "$cport" 20 || harness_die "dovecot-tls does not listen on 127.0.0.1:$cport"
harness_wait_port "$imap_port" 20 127.0.0.2 ||
    harness_die "dovecot-tls does not listen for IMAP on 127.0.0.2:$imap_port"
harness_wait_port "$imaps_port" 20 127.0.0.2 ||
    harness_die "dovecot-tls does not listen for IMAPS on 127.0.0.2:$imaps_port"

harness_env "$dir" KESTREL_IT_POP3_TLS_HOST 127.0.0.2
harness_env "$dir" KESTREL_IT_POP3_TLS_WRONG_HOST 127.0.0.1
harness_env "$dir" KESTREL_IT_POP3_STLS_PORT "$port"
harness_env "$dir" KESTREL_IT_POP3S_PORT "$sport"
harness_env "$dir" KESTREL_IT_POP3_TLS_CLEAR_PORT "$cport"
harness_env "$dir" KESTREL_IT_POP3_TLS_CA "$pki/ca.pem"
harness_env "$dir" KESTREL_IT_POP3_TLS_LOG "$root/dovecot.log"
harness_env "$dir" KESTREL_IT_POP3_TLS_USER "$user"
harness_env "$dir" KESTREL_IT_POP3_TLS_PASS "$pass"
harness_env "$dir" KESTREL_IT_POP3_TLS_MAILDIR "$root/mail/$user"
harness_env "$dir" KESTREL_IT_IMAP_STARTTLS_PORT "$imap_port"
harness_env "$dir" KESTREL_IT_IMAPS_PORT "$imaps_port"
harness_log "dovecot POP3 with STLS required on 127.0.0.2:$port, POP3S on $sport"
