#!/usr/bin/env bash
# The systemd unit as it will be installed: systemd-analyze verify accepts it,
# its offline security exposure is below 5.0, and its service settings are the
# ones the instances rely on. The desktop entry of Tidepanel is valid.
#   units_test.sh SOURCE_DIR TIDECORE
set -uo pipefail
src="$1"; tidecore="$2"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d "${TMPDIR:-/tmp}/tidewatch-units.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The unit as cmake --install writes it, with the program at its built place (the
# package's /usr/bin/tidecore is checked by the installation test). The manual
# page is found through MANPATH, so Documentation= is checked too.
unit="$work/tidecore@.service"
sed "s|@TIDECORE_PROGRAM@|$tidecore|" "$src/packaging/tidecore@.service.in" > "$unit"
mkdir -p "$work/man/man1" && cp "$src/packaging/tidecore.1" "$work/man/man1/"
out=$(MANPATH="$work/man" systemd-analyze verify "$unit" 2>&1)
rc=$?
[ $rc -eq 0 ] && [ -z "$out" ] || fail "systemd-analyze verify (rc $rc): $out"

report=$(systemd-analyze security --offline=yes "$unit" 2>&1)
exposure=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' <<<"$report")
if [ -z "$exposure" ]; then
  fail "no exposure level in: $report"
elif ! awk -v e="$exposure" 'BEGIN { exit !(e < 5.0) }'; then
  fail "exposure $exposure is not below 5.0"
  grep '✗' <<<"$report"
else
  echo "systemd-analyze security --offline=yes: exposure $exposure"
fi

# What the instances need, setting by setting (as systemd reads them).
want() { grep -qxF "$1" "$unit" || fail "unit lacks $1"; }
want 'EnvironmentFile=/etc/tidecore/%i.conf'
want "ExecStart=$tidecore \$ARGS"
want 'StateDirectory=tidecore/%i'
want 'WorkingDirectory=%S/tidecore/%i'
want 'Environment=TIDECORE_TRACE_DIR=%S/tidecore/%i'
want 'Restart=on-failure'
want 'RestartPreventExitStatus=2'
want 'User=tidecore'
want 'ProtectSystem=strict'
want 'ProtectHome=read-only'
want 'PrivateTmp=yes'
want 'NoNewPrivileges=yes'
grep -Eq '^RestartSec=[1-9]' "$unit" || fail "unit restarts without a pause"

# The example instance file is one shell-style ARGS line that keeps the channel.
example="$src/packaging/tidecore-instance.conf"
args=$(env -i bash -c 'set -a; . "$1"; printf %s "$ARGS"' _ "$example")
[ "$(grep -vc '^#' "$example")" -eq 1 ] || fail "instance example is not one line"
grep -q ' #[A-Za-z]' <<<"$args" || fail "instance example loses the channel: $args"

out=$(desktop-file-validate "$src/packaging/tidepanel.desktop" 2>&1) || fail "desktop entry: $out"
[ -z "$out" ] || fail "desktop entry: $out"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "unit and desktop entry: verified"
