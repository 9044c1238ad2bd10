#!/usr/bin/env bash
# Makes the Debian package from the build (scripts/package.sh) and checks it as
# a user meets it: its desktop entry, software-centre entry and manual page
# validate, lintian finds no error, and on this machine it installs with
# apt-get, the installed client passes its self-test against the installed
# stand-in server (scripts/e2e.sh), and removing it leaves none of its files.
# Needs root (or sudo) for apt-get; the package is never left installed.
set -euo pipefail
cd "$(dirname "$0")/.."
began=$(date +%s)
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
apt() { DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@"; }
installed() { dpkg-query -W -f='${db:Status-Status}' vuko 2>/dev/null | grep -qx installed; }

if installed; then
  echo "package: vuko is installed on this machine; the test would replace and remove it."
  exit 1
fi

work=$(mktemp -d /tmp/vuko-package-XXXXXX)
cleanup() {
  if installed; then apt purge vuko >/dev/null || echo "package: could not remove vuko"; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

scripts/package.sh >"$work/package.log" 2>&1 || { cat "$work/package.log"; exit 1; }
deb=$(ls "$PWD"/dist/vuko_*.deb)
status=0
fail() {
  echo "package: FAIL: $*"
  status=1
}

echo "---- $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
dpkg-deb --contents "$deb"
dpkg-deb --extract "$deb" "$work/root"
root=$work/root/usr/share

echo "---- desktop entry, software-centre entry, manual pages"
desktop-file-validate "$root/applications/app.vuko.Vuko.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/metainfo/app.vuko.Vuko.metainfo.xml" || fail "appstreamcli validate"
for page in "$root"/man/man1/*.1.gz; do
  # .so pages point into the manual tree, so man reads them from its root.
  warnings=$(cd "$root/man" && LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) ||
    fail "man $(basename "$page")"
  [ -z "$warnings" ] || fail "man --warnings $(basename "$page"): $warnings"
  lexgrog "$page" || fail "lexgrog $(basename "$page"): no NAME line"
done

echo "---- lintian"
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

echo "---- install, self-test of the installed programs, removal"
apt install "$deb" >/dev/null || fail "apt-get install"
if installed; then
  mapfile -t files < <(dpkg -L vuko | while read -r f; do [ -d "$f" ] || echo "$f"; done)
  VUKO_CLIENT=/usr/bin/vuko VUKO_DEVSERVER=/usr/bin/vuko-devserver scripts/e2e.sh ||
    fail "the installed client's self-test"
  apt remove vuko >/dev/null || fail "apt-get remove"
  if installed; then fail "vuko is still installed after apt-get remove"; fi
  for f in "${files[@]}" /usr/share/doc/vuko; do
    if [ -e "$f" ]; then fail "left behind after removal: $f"; fi
  done
  echo "package: ${#files[@]} files installed and removed"
fi

echo "package: $(($(date +%s) - began)) s"
if [ $status -eq 0 ]; then echo "package: passed"; fi
exit $status
