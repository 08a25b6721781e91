#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and checks what lands there the way the desktop
# and the software centres will read it. Usage: check-install.sh <build dir>
set -euo pipefail

build=${1:?usage: check-install.sh <build dir>}
id=jp.co.harrowgate.Kestrel

# A missing validator is a failure: without it nothing here was checked.
for tool in desktop-file-validate appstreamcli python3; do
    command -v "$tool" >/dev/null || { echo "check-install: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
need() {
    [[ -e $prefix/$1 ]] || { echo "check-install: not installed: $1" >&2; fail=1; }
}
[[ -x $prefix/bin/kestrel ]] || { echo "check-install: bin/kestrel missing or not executable" >&2; fail=1; }
need share/applications/$id.desktop
need share/kestrel/autostart/$id.desktop
need share/metainfo/$id.metainfo.xml
need share/icons/hicolor/scalable/apps/$id.svg
need share/kestrel/html/index.html
need share/man/man1/kestrel.1
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do need "share/icons/hicolor/${size}x${size}/apps/$id.png"; done
((fail == 0)) || exit 1

# Each fixed-size icon is a PNG of its folder's size, and not an empty picture.
python3 - "$prefix/share/icons/hicolor" "$id" "${sizes[@]}" <<'PY'
import struct, sys, zlib
root, app, sizes = sys.argv[1], sys.argv[2], [int(s) for s in sys.argv[3:]]
bad = False
for size in sizes:
    path = f"{root}/{size}x{size}/apps/{app}.png"
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        print(f"check-install: {path} is not a PNG", file=sys.stderr); bad = True; continue
    w, h = struct.unpack(">II", data[16:24])
    if (w, h) != (size, size):
        print(f"check-install: {path} is {w}x{h}", file=sys.stderr); bad = True
    # All IDAT chunks inflated: an all-transparent picture is all zero bytes.
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT": idat += data[pos + 8:pos + 8 + n]
        pos += 12 + n
    if not any(zlib.decompress(idat)[1:]):
        print(f"check-install: {path} is empty", file=sys.stderr); bad = True
sys.exit(1 if bad else 0)
PY

# The entry starts the installed program by name and shows the installed icon.
entry=$prefix/share/applications/$id.desktop
grep -qx 'Exec=kestrel' "$entry" || { echo "check-install: the desktop entry does not start kestrel" >&2; exit 1; }
grep -qx "Icon=$id" "$entry" || { echo "check-install: the desktop entry's icon is not $id" >&2; exit 1; }

desktop-file-validate "$entry"
# The administrator's autostart entry starts the same program as the menu's.
grep -qx 'Exec=kestrel' "$prefix/share/kestrel/autostart/$id.desktop" || { echo "check-install: the autostart entry does not start kestrel" >&2; exit 1; }
desktop-file-validate "$prefix/share/kestrel/autostart/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
# The tree as a whole: the metainfo's launchable must name the installed desktop entry.
appstreamcli validate-tree --no-net "$prefix"
echo "check-install: all good in $prefix"
