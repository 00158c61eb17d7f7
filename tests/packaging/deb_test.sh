#!/usr/bin/env bash
# Builds the Debian package from the existing build (cpack only installs what is
# built already) and checks it: the file list, the control fields with the shared
# library dependencies found by dpkg-shlibdeps, the one maintainer script, the
# unit as installed. Leaves the package in BUILD_DIR/package-test/ for the
# installation test.
#   deb_test.sh BUILD_DIR HAS_TIDEPANEL(0|1)
set -uo pipefail
build="$1"; has_panel="$2"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
out="$build/package-test"
rm -rf "$out"

start=$(date +%s)
if ! log=$(cd "$build" && cpack -G DEB -B "$out" 2>&1); then
  echo "$log"
  echo "FAIL: cpack -G DEB"
  exit 1
fi
debs=("$out"/tidewatch_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "$log"; echo "FAIL: no single package in $out"; exit 1; }
deb="${debs[0]}"
echo "built $(basename "$deb") in $(( $(date +%s) - start )) s"

# Files.
files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
expect=(
  /usr/bin/tidecore
  /usr/share/man/man1/tidecore.1.gz
  /usr/lib/systemd/system/tidecore@.service
  /usr/share/doc/tidewatch/examples/irccolors_sof2.cfg
  /usr/share/doc/tidewatch/examples/mapinfo_sof2.xml
  /usr/share/doc/tidewatch/examples/tidecore-instance.conf
  /etc/tidecore/
)
[ "$has_panel" = 1 ] && expect+=(
  /usr/bin/tidepanel
  /usr/share/applications/tidepanel.desktop
  /usr/share/icons/hicolor/scalable/apps/tidepanel.svg
)
for f in "${expect[@]}"; do
  grep -qxF "$f" <<<"$files" || fail "package lacks $f"
done
stray=$(grep -Ev '^/(usr/(bin|share|lib/systemd)|etc/tidecore)(/|$)|^/(usr|etc|usr/lib)?/?$' <<<"$files")
[ -z "$stray" ] || fail "unexpected files: $stray"
listing=$(dpkg-deb -c "$deb")
grep -q ' root/root .* \./usr/bin/tidecore$' <<<"$listing" || fail "tidecore not owned by root: $listing"

# The programs are stripped, the manual page is the compressed source.
x=$(mktemp -d "${TMPDIR:-/tmp}/tidewatch-deb.XXXXXX")
trap 'rm -rf "$x"' EXIT
dpkg-deb -x "$deb" "$x/root"
dpkg-deb -e "$deb" "$x/control"
for p in tidecore $([ "$has_panel" = 1 ] && echo tidepanel); do
  file "$x/root/usr/bin/$p" | grep -q ', stripped' || fail "$p is not stripped"
done
cmp -s <(gzip -dc "$x/root/usr/share/man/man1/tidecore.1.gz") "$(dirname "$0")/../../packaging/tidecore.1" ||
  fail "the packaged manual page differs from packaging/tidecore.1"

# The unit names the packaged program; nothing of the build tree leaks in.
grep -qxF 'ExecStart=/usr/bin/tidecore $ARGS' "$x/root/usr/lib/systemd/system/tidecore@.service" ||
  fail "unit ExecStart: $(grep ExecStart "$x/root/usr/lib/systemd/system/tidecore@.service")"
leak=$(grep -rlF "$build" "$x/root/usr/lib" "$x/root/usr/share" 2>/dev/null)
[ -z "$leak" ] || fail "build paths in: $leak"

# Control: name, version, dependencies from the shared libraries (GnuTLS among
# them), adduser.
control=$(cat "$x/control/control")
field() { sed -n "s/^$1: //p" <<<"$control"; }
[ "$(field Package)" = tidewatch ] || fail "Package: $(field Package)"
[ -n "$(field Version)" ] || fail "no Version"
depends=$(field Depends)
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for d in libc6 libstdc++6 libgnutls30 adduser $([ "$has_panel" = 1 ] && echo libqt6widgets6 libqt6core6); do
  grep -qxF "$d" <<<"$names" || fail "Depends lacks $d: $depends"
done

# Maintainer scripts: only postinst, which creates the user and never removes
# anything.
scripts=$(cd "$x/control" && ls | grep -vx 'control\|md5sums' | tr '\n' ' ')
[ "$scripts" = "postinst " ] || fail "maintainer scripts: $scripts"
if [ -f "$x/control/postinst" ]; then
  [ -x "$x/control/postinst" ] || fail "postinst not executable"
  sh -n "$x/control/postinst" || fail "postinst has a syntax error"
  grep -q 'adduser .*--system' "$x/control/postinst" || fail "postinst creates no system user"
  ! grep -Eq 'deluser|userdel|rm -r' "$x/control/postinst" || fail "postinst removes something"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "package: $(wc -l <<<"$files") entries; Depends: $depends"
