#!/usr/bin/env bash
# Private dovecot POP3 and IMAP on 127.0.0.1:<free ports>, with one passwd-file user whose Maildir holds
# three messages, and a second user with a Maildir of its own that the mail-count tests fill
# and empty as they go. Usage: start-dovecot.sh <dir>; appends to <dir>/servers.env.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

dir=$1
root=$dir/dovecot
user=kestrel
pass=secret
port=$(harness_free_port)
imap_port=$(harness_free_port)

counted=counted
counted_pass=secret-too

mkdir -p "$root/run" "$root/state" "$root/mail/$user"/{cur,new,tmp} "$root/mail/$counted"/{cur,new,tmp}
printf '%s:{PLAIN}%s::::::\n' "$user" "$pass" "$counted" "$counted_pass" >"$root/users"

# Three unread messages, one of them with a Japanese subject in ISO-2022-JP as mail carries it.
n=0
for subject in "Harness message one" "Harness message two" "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?="; do
    n=$((n + 1))
    cat >"$root/mail/$user/new/100000000$n.M$n.kestrel-it" <<MSG
From: sender$n@example.invalid
To: $user@example.invalid
Subject: $subject
Date: Mon, 1 Jan 2024 09:0$n:00 +0900
Message-ID: <harness-$n@example.invalid>

Body of message $n.
MSG
done
chown -R nobody:nogroup "$root/mail"
chmod 644 "$root/users"

cat >"$root/dovecot.conf" <<CONF
base_dir = $root/run
state_dir = $root/state
instance_name = kestrel-it-$port
log_path = $root/dovecot.log
protocols = pop3 imap
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_failure_delay = 0
auth_mechanisms = plain
first_valid_uid = 1
mail_location = maildir:$root/mail/%u
pop3_uidl_format = %08Xu%08Xv
# A second session of a user is refused with [IN-USE] while the first holds the box.
pop3_lock_session = yes
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
    address = 127.0.0.1
    port = $port
  }
  inet_listener pop3s {
    port = 0
  }
}
CONF
harness_dovecot_services "  inet_listener imap {
    address = 127.0.0.1
    port = $imap_port
  }
  inet_listener imaps {
    port = 0
  }" >>"$root/dovecot.conf"

harness_start_dovecot "$root" "$port" dovecot
harness_wait_port "$imap_port" 20 || harness_die "dovecot does not listen for IMAP on $imap_port"

harness_env "$dir" KESTREL_IT_POP3_HOST 127.0.0.1
harness_env "$dir" KESTREL_IT_POP3_PORT "$port"
harness_env "$dir" KESTREL_IT_POP3_USER "$user"
harness_env "$dir" KESTREL_IT_POP3_PASS "$pass"
harness_env "$dir" KESTREL_IT_POP3_MESSAGES 3
harness_env "$dir" KESTREL_IT_POP3_COUNTED_USER "$counted"
harness_env "$dir" KESTREL_IT_POP3_COUNTED_PASS "$counted_pass"
harness_env "$dir" KESTREL_IT_POP3_COUNTED_MAILDIR "$root/mail/$counted"
harness_env "$dir" KESTREL_IT_IMAP_PORT "$imap_port"
harness_env "$dir" KESTREL_IT_DOVECOT_LOG "$root/dovecot.log"
harness_log "dovecot POP3 on 127.0.0.1:$port, IMAP on $imap_port"
