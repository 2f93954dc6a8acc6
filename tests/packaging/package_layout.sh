#!/bin/bash
# package_layout.sh BUILD_DIR CPACK: makes the tavrin-server, libtavrin0 and
# libtavrin-dev packages from BUILD_DIR and checks where their files go and
# that the pkg-config file finds the header and library where they landed.
set -euo pipefail
build="$1" cpack="$2"
for tool in dpkg-deb pkg-config; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
echo "build configured with prefix ${prefix:-?}"
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$out" \
    -D CPACK_COMPONENTS_ALL="server;lib;dev" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  exit 1
fi
fail=0
for deb in "$out"/*.deb; do
  while read -r path; do
    case "$path" in
      /usr/local/*) echo "FAILED: ${deb##*/} installs $path under /usr/local"; fail=1 ;;
      /usr/* | /etc/tavrin/* | /lib/systemd/system/*) ;;
      /etc/ | /lib/ | /lib/systemd/ | /) ;;
      *) echo "FAILED: ${deb##*/} installs $path outside /usr"; fail=1 ;;
    esac
  done < <(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
done
root="$out/root"
for deb in "$out"/*.deb; do dpkg-deb -x "$deb" "$root"; done
arch="$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)"
for want in /usr/bin/tavrin-server /etc/tavrin/tavrin-server.conf \
    /lib/systemd/system/tavrin-server.service /usr/include/libtavrin.h \
    "/usr/lib/$arch/libtavrin.so.0" "/usr/lib/$arch/pkgconfig/tavrin.pc"; do
  [ -e "$root$want" ] || { echo "FAILED: no $want"; fail=1; }
done
# The pkg-config file names folders relative to itself: unpacked anywhere,
# it leads to the header and the library beside it.
flags="$(PKG_CONFIG_PATH="$root/usr/lib/$arch/pkgconfig" pkg-config --cflags --libs tavrin)"
inc="$(sed -n 's/.*-I\([^ ]*\).*/\1/p' <<<"$flags")"
lib="$(sed -n 's/.*-L\([^ ]*\).*/\1/p' <<<"$flags")"
[ -e "$inc/libtavrin.h" ] || { echo "FAILED: pkg-config's -I ($inc) holds no libtavrin.h"; fail=1; }
[ -e "$lib/libtavrin.so" ] || { echo "FAILED: pkg-config's -L ($lib) holds no libtavrin.so"; fail=1; }
[ "$fail" -eq 0 ] && echo "packages install under /usr"
exit "$fail"
