#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Kestrel needs.
# Safe to run again: packages already present are left alone. Must run as root.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive
export NEEDRESTART_MODE=a

need_root() {
    if [[ $(id -u) -ne 0 ]]; then
        echo "setup.sh: missing $*; run as root to install" >&2
        exit 1
    fi
}

packages=(
    # build
    build-essential cmake ninja-build clang-format
    # fuzzing: clang's libFuzzer and sanitizer runtimes
    clang libclang-rt-14-dev
    qt6-base-dev qt6-multimedia-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
    libgl-dev libxcb1-dev libgtest-dev libgmock-dev
    # TLS to the mail and news servers; the command line makes the test certificates
    libssl-dev openssl
    # sound: QSoundEffect decodes the wave itself and plays through PulseAudio (linked into
    # QtMultimedia); the GStreamer media backend wants its base elements to load at all
    libqt6multimedia6 gstreamer1.0-plugins-base
    # screens and screenshots
    xvfb xauth xdotool x11-utils imagemagick fonts-ipafont-gothic
    # xmodmap: the iptux test gives the characters it types keys of their own
    x11-xserver-utils
    # real peers for the integration tests
    dovecot-pop3d dovecot-imapd poppassd libnet-ident-perl socat dbus dbus-x11 python3 passwd
    # the TLS bench's side-by-side reference
    fetchmail
    # the peer chat's tests build network namespaces; iptux is the real IP Messenger peer
    iproute2 iptux
    # a real screen saver on a private session bus for the presence watch's integration test
    # (org.mate.ScreenSaver; runs under Xvfb, driven with mate-screensaver-command)
    mate-screensaver
    # the end-to-end scripts play reader programs and desktop services on the session bus
    python3-dbus python3-gi
    # the end-to-end test: its bus peers and its tray are python3-dbus services
    python3-dbus python3-gi
    # the desktop's own mail and news applications: GIO finds and starts them; the README's
    # xdg-mime registers one; Claws Mail is the real client the end-to-end test starts
    libglib2.0-dev xdg-utils claws-mail
    # the install test validates the installed desktop entry and AppStream description
    desktop-file-utils appstream
    # the Debian package: its build, its check, and setcap for its post-install
    debhelper dpkg-dev lintian libcap2-bin
    # the saved password in the desktop's keyring (QtKeychain over the Secret Service, which
    # it reaches through libsecret); the keyring tests run a real gnome-keyring-daemon
    qtkeychain-qt6-dev libsecret-1-0 gnome-keyring
)

apt_install() {
    apt-get install -y -q --no-install-recommends -o Dpkg::Use-Pty=0 \
        -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "$@" >/tmp/kestrel-setup-apt.log 2>&1 || {
        cat /tmp/kestrel-setup-apt.log >&2
        return 1
    }
}

missing() {
    local p out=()
    for p in "$@"; do
        if [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) != "install ok installed" ]]; then
            out+=("$p")
        fi
    done
    echo "${out[@]}"
}

all_missing=$(missing "${packages[@]}" inn2-inews inn2)
if [[ -z $all_missing ]] && ! dpkg --audit 2>/dev/null | grep -q .; then
    exit 0
fi
need_root "$all_missing"

# A package list is needed before anything can be installed on a fresh machine.
if [[ -z $(find /var/lib/apt/lists -maxdepth 1 -name '*_Packages*' -print -quit 2>/dev/null) ]]; then
    apt-get update -q >/dev/null
fi

# Finish whatever an earlier, interrupted run left half-configured (inn2 below, typically),
# but only after its domain is set so the retry can succeed.
ensure_news_domain() {
    local conf=/etc/news/inn.conf
    [[ -f $conf ]] || return 0
    if ! grep -Eq '^domain:[[:space:]]*[^[:space:]]' "$conf"; then
        # innconfval refuses to answer when the host has no dotted name and no domain is set,
        # which makes inn2's post-install abort.
        sed -i -E '/^domain:[[:space:]]*$/d' "$conf"
        echo 'domain: localdomain' >>"$conf"
    fi
}

ensure_news_domain
if dpkg --audit 2>/dev/null | grep -q .; then
    dpkg --configure -a >/tmp/kestrel-setup-dpkg.log 2>&1 || { cat /tmp/kestrel-setup-dpkg.log >&2; exit 1; }
fi

todo=$(missing "${packages[@]}")
if [[ -n $todo ]]; then
    echo "setup.sh: installing $todo"
    # shellcheck disable=SC2086
    apt_install $todo
fi

# INN in two steps: inn2-inews carries /etc/news/inn.conf, inn2's post-install needs its domain.
if [[ -n $(missing inn2-inews) ]]; then
    echo "setup.sh: installing inn2-inews"
    apt_install inn2-inews
fi
ensure_news_domain
if [[ -n $(missing inn2) ]]; then
    echo "setup.sh: installing inn2"
    if ! apt_install inn2; then
        ensure_news_domain
        dpkg --configure -a
    fi
fi
if [[ -n $(missing inn2) ]]; then
    echo "setup.sh: inn2 did not install" >&2
    exit 1
fi

for tool in ip iptux clang-format clang++ cmake ninja g++ Xvfb import socat dbus-daemon dovecot /usr/sbin/poppassd /usr/lib/news/bin/innd python3 desktop-file-validate appstreamcli dh lintian; do
    command -v "$tool" >/dev/null || { echo "setup.sh: $tool missing after install" >&2; exit 1; }
done
