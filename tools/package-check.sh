#!/bin/bash
# Builds Tavrin's Debian packages, runs lintian on them, and installs them
# into a fresh Debian 12 root made with debootstrap from Debian's archive.
# There, as an unprivileged user with a fresh home, it checks that
#   - `tavrin --print-paths` points into that home,
#   - `tavrin --headless --script` signs in against the installed
#     `tavrin-server --demo` and saves a screenshot (copied out beside the packages),
#   - `man tavrin-cli` renders.
# Run as root from the repository's top folder; it takes a while (the root
# is downloaded and the packages' dependencies installed). Not part of the
# test suite.
#
#   tools/package-check.sh [--tarball FILE] [--keep]
#     --tarball FILE  the base system as `debootstrap --make-tarball` leaves
#                     it, made on the first run and unpacked fresh afterwards
#     --keep          leave the root in place for a look (its path is printed)
set -euo pipefail
cd "$(dirname "$0")/.."

tarball="" keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --tarball) tarball="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "usage: $0 [--tarball FILE] [--keep]" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot need it)" >&2; exit 2; }
for tool in debootstrap lintian cpack; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install $tool)" >&2; exit 2; }
done
mirror="${TAVRIN_DEBIAN_MIRROR:-http://deb.debian.org/debian}"

step() { printf '\n== %s\n' "$*"; }

step "building the packages"
# The packages install below /usr (the build folder itself stays a portable copy).
cmake --preset default -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build --preset default -j 2 --target tavrin tavrin-cli tavrin-server libtavrin tavrin_assets
out=build/default/packages
rm -rf "$out"
cpack --config build/default/CPackConfig.cmake -B "$out" >/dev/null
ls -1 "$out"/*.deb

step "lintian"
lintian --info --display-info --no-tag-display-limit "$out"/*.deb || true

root="$(mktemp -d /var/tmp/tavrin-root.XXXXXX)"
chmod 755 "$root"  # the root's own users (apt's, ours) must reach inside
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  for m in dev/pts dev proc sys; do umount -l "$root/$m" 2>/dev/null || true; done
  if [ "$keep" -eq 1 ]; then echo "root kept in $root"; else rm -rf "$root"; fi
}
trap cleanup EXIT

step "a fresh Debian 12 root in $root"
if [ -n "$tarball" ] && [ ! -s "$tarball" ]; then
  debootstrap --variant=minbase --make-tarball="$tarball" bookworm "$root/stage" "$mirror" >/dev/null
  rm -rf "$root/stage"
fi
if [ -n "$tarball" ]; then
  debootstrap --variant=minbase --unpack-tarball="$(realpath "$tarball")" bookworm "$root" "$mirror" >/dev/null
else
  debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
fi
cat /etc/resolv.conf >"$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

step "installing the packages"
mkdir -p "$root/tmp/debs"
cp "$out"/*.deb "$root/tmp/debs/"
debs=()
for d in "$root"/tmp/debs/*.deb; do debs+=("/tmp/debs/${d##*/}"); done
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  man-db "${debs[@]}" >/dev/null
in_root dpkg-query -W tavrin tavrin-server libtavrin0 libtavrin-dev

step "a user with a fresh home"
in_root useradd --create-home --shell /bin/bash lin
as_user() {
  chroot --userspec=lin:lin "$root" /usr/bin/env -i HOME=/home/lin USER=lin LANG=C.UTF-8 \
    PATH=/usr/bin:/bin "$@"
}

step "tavrin --print-paths"
paths="$(as_user tavrin --print-paths)"
echo "$paths"
echo "$paths" | head -1 | grep -q '^installed: ' || { echo "FAILED: not an installed copy"; exit 1; }
echo "$paths" | grep -q '^/home/lin/.local/share/tavrin/DB/TavrinLog.db$' ||
  { echo "FAILED: the database is not in the user's home"; exit 1; }
echo "$paths" | grep -q '^/home/lin/.config/tavrin/BriskLibTavrinSetting.xml$' ||
  { echo "FAILED: the settings are not in the user's home"; exit 1; }

step "tavrin-server --demo and a headless sign-in"
# Started directly (chroot and env exec into it), so that $! is the server itself.
chroot --userspec=lin:lin "$root" /usr/bin/env -i HOME=/home/lin USER=lin LANG=C.UTF-8 \
  PATH=/usr/bin:/bin tavrin-server --data /home/lin/server --demo --nav-port 0 --sipc-port 0 \
  --signin-port 0 >"$root/home/lin/server.out" 2>&1 &
server=$!
port=""
for _ in $(seq 100); do
  port="$(sed -n 's/.*sipc=\([0-9]*\).*/\1/p' "$root/home/lin/server.out")"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$root/home/lin/server.out"; echo "FAILED: no server"; exit 1; }
head -1 "$root/home/lin/server.out"
cat >"$root/home/lin/login.script" <<'SCRIPT'
tap 265 222
text 100000001
tap 265 302
text alice123
key enter
wait 3000
screenshot /home/lin/signed-in.png
quit
SCRIPT
chown 1000:1000 "$root/home/lin/login.script" 2>/dev/null || true
status=0
as_user tavrin --headless --server "127.0.0.1:$port" --script /home/lin/login.script || status=$?
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
server=""
echo "tavrin exited with $status"
[ "$status" -eq 0 ] && [ -s "$root/home/lin/signed-in.png" ] || { echo "FAILED: no screenshot"; exit 1; }
cp "$root/home/lin/signed-in.png" "$out/installed-signed-in.png"
echo "screenshot: $out/installed-signed-in.png"
in_root ls -la /home/lin/.local/share/tavrin /home/lin/.local/share/tavrin/DB /home/lin/.config/tavrin

step "man tavrin-cli"
as_user env MANWIDTH=80 man -P cat tavrin-cli 2>&1 | head -25
as_user man -P cat tavrin-cli >/dev/null 2>&1 || { echo "FAILED: man tavrin-cli"; exit 1; }

step "all checks passed"
