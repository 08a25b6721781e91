#!/usr/bin/env bash
# Installs what is needed, builds the program in build/ and starts it. Without a display it
# starts Xvfb on :99 and runs the program there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${KESTREL_JOBS:-2}

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target kestrel -j "$jobs"

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    export DISPLAY=:99
    if ! xdpyinfo -display :99 >/dev/null 2>&1; then
        Xvfb :99 -screen 0 1280x1024x24 -nolisten tcp -noreset >/tmp/kestrel-xvfb99.log 2>&1 &
        for ((i = 0; i < 50; i++)); do
            xdpyinfo -display :99 >/dev/null 2>&1 && break
            sleep 0.1
        done
    fi
    echo "run.sh: no DISPLAY set; running on the virtual display :99 (Xvfb)."
    echo "run.sh: look at it with: DISPLAY=:99 import -window root kestrel.png"
fi

# The peer chat broadcasts to every network this machine is on. A first start from here keeps
# it off until the user turns it on (ｺﾐｭﾆｹｰﾀ > ｵﾌﾟｼｮﾝ), so trying the program out announces
# nobody to the office network.
conf=${XDG_CONFIG_HOME:-$HOME/.config}/Harrowgate/Kestrel.conf
if [[ ! -e $conf ]]; then
    mkdir -p "$(dirname "$conf")"
    printf '[PeerChat]\nChating=0\n' >"$conf"
    echo "run.sh: new settings in $conf with the peer chat off; turn it on in the communicator options."
fi

exec "$root/build/kestrel" "$@"
