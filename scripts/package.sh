#!/usr/bin/env bash
# Builds the Debian package into build-deb/, checks it with lintian, installs it with apt-get
# and starts the installed program as an ordinary user and as root
# (tests/install/check-installed-program.sh). Run as root on Debian 12 after scripts/setup.sh.
#
# The package is built without its tests (DEB_BUILD_OPTIONS=nocheck: only the program and what
# it installs are compiled), since scripts/test.sh has run them all by then; KESTREL_DEB_TESTS=1
# builds them and runs the unit tests inside the package build as well.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${KESTREL_JOBS:-2}
out=$root/build-deb

fail() {
    echo "package.sh: $*" >&2
    exit 1
}
[[ $(id -u) -eq 0 ]] || fail "run as root (it installs the package)"
for tool in dpkg-buildpackage dh lintian apt-get; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

options="parallel=$jobs"
[[ ${KESTREL_DEB_TESTS:-0} == 1 ]] || options="nocheck $options"

cd "$root" || exit 1
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
rm -rf "$out"
mkdir -p "$out"

started=$SECONDS
if ! DEB_BUILD_OPTIONS=$options dpkg-buildpackage -b -us -uc >"$out/build.log" 2>&1; then
    tail -60 "$out/build.log" >&2
    fail "the package did not build (all of it in $out/build.log)"
fi
echo "package.sh: built in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s" \
    "(DEB_BUILD_OPTIONS=\"$options\")"

# dpkg-buildpackage leaves its results beside the source tree: every file debian/files names,
# and the .changes. Into build-deb/ with them, and the tree cleaned of the build.
mapfile -t made < <(cut -d' ' -f1 debian/files)
made+=("kestrel_${version}_${arch}.changes")
for f in "${made[@]}"; do
    mv "$root/../$f" "$out/" || fail "dpkg-buildpackage made no ../$f"
done
debian/rules clean >>"$out/build.log" 2>&1 || fail "debian/rules clean failed"

deb=$out/kestrel_${version}_${arch}.deb
[[ -f $deb ]] || fail "no $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Depends\|Version\|Installed-Size\):/package.sh: &/p'

# Errors fail the road; warnings and notes stay in the log for a reader to weigh.
lintian --fail-on error --display-info "$deb" | tee "$out/lintian.log"
[[ ${PIPESTATUS[0]} -eq 0 ]] || fail "lintian found errors in $deb"

apt-get install -y -q -o Dpkg::Use-Pty=0 "$deb" >"$out/install.log" 2>&1 || {
    cat "$out/install.log" >&2
    fail "apt-get could not install $deb"
}
installed=$(dpkg-query -W -f='${Version}' kestrel)
[[ $installed == "$version" ]] || fail "installed kestrel is $installed, not $version"
if command -v getcap >/dev/null; then
    getcap /usr/bin/kestrel | grep -q cap_net_bind_service ||
        fail "postinst did not give /usr/bin/kestrel cap_net_bind_service"
fi

bash "$root/tests/install/check-installed-program.sh" /usr/bin/kestrel
