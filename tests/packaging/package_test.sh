#!/usr/bin/env bash
# The Debian package as a user gets it: CPack makes it from the built tree
# (nothing is built here), dpkg-deb unpacks it into a scratch folder, and the
# programs run from there as from a system install, with a program folder
# the user cannot write.
#   package_test.sh BUILD_DIR CPACK VERSION
set -euo pipefail
build="$1"
cpack="$2"
version="$3"

scratch="$(mktemp -d)"
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for tool in dpkg-deb desktop-file-validate appstreamcli timeout; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps --test installs it)"
done

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
  || { cat "$scratch/cpack.log" >&2; fail "cpack could not make the package"; }
deb="$(ls "$scratch"/out/*.deb)"

# The control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = morvane-tessel ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[ -n "$(field Description)" ] || fail "no Description"
# Depends comes from the libraries the executables link.
for lib in libc6 libstdc++6 libqt6widgets6 libqt6svg6 libpugixml1v5; do
  field Depends | grep -q "\b$lib (" || fail "Depends lacks $lib: $(field Depends)"
done

# The files, and nothing else.
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
expected="usr/bin/ecrsim
usr/bin/ecrtool
usr/bin/morvane-tessel
usr/share/applications/org.morvane.tessel.desktop
usr/share/icons/hicolor/scalable/apps/org.morvane.tessel.svg
usr/share/man/man1/ecrsim.1.gz
usr/share/man/man1/ecrtool.1.gz
usr/share/metainfo/org.morvane.tessel.metainfo.xml
usr/share/morvane-tessel/Bulgarian.lng"
actual="$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
[ "$actual" = "$expected" ] || fail "the package holds
$actual
instead of
$expected"

desktop-file-validate "$root/usr/share/applications/org.morvane.tessel.desktop" \
  || fail "desktop-file-validate refuses the menu entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.morvane.tessel.metainfo.xml" >"$scratch/appstream.log" 2>&1 \
  || { cat "$scratch/appstream.log" >&2; fail "appstreamcli refuses the AppStream data"; }
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/org.morvane.tessel.metainfo.xml" \
  || fail "the AppStream data names another release than $version"

# As installed: the program's folder is not the user's.
chmod -R a-w "$root/usr"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
userdir="$XDG_CONFIG_HOME/morvane-tessel"

# Each manual page names every option its tool's --help shows.
for tool in ecrtool ecrsim; do
  "$root/usr/bin/$tool" --help >"$scratch/$tool.help" || fail "$tool --help failed"
  grep -q "^Usage: $tool " "$scratch/$tool.help" || fail "$tool --help shows no usage line"
  gzip -dc "$root/usr/share/man/man1/$tool.1.gz" | sed 's/\\-/-/g' >"$scratch/$tool.man"
  for option in $(grep -o -- '--[a-z][a-z-]*' "$scratch/$tool.help" | sort -u); do
    grep -q -- "$option" "$scratch/$tool.man" || fail "the manual page of $tool lacks $option"
  done
done

# ecrtool finds its serial ports where the installed program does.
"$root/usr/bin/ecrtool" ports >"$scratch/ports" || fail "ecrtool ports failed"
grep -q "^{\"folder\":\"$userdir/dosdevices/\"" "$scratch/ports" \
  || fail "ecrtool ports does not look in $userdir/dosdevices/: $(cat "$scratch/ports")"

# The program starts, stays up until stopped, and has put its shipped
# language file into the user's folder.
status=0
timeout 5 "$root/usr/bin/morvane-tessel" >"$scratch/program.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the program ended by itself with status $status: $(cat "$scratch/program.log")"
cmp -s "$root/usr/share/morvane-tessel/Bulgarian.lng" "$userdir/Bulgarian.lng" \
  || fail "the shipped language file is not in $userdir"

echo "$(basename "$deb"): control fields, files, menu entry, AppStream data, manual pages and a start from the unpacked tree are right"
