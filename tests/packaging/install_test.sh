#!/usr/bin/env bash
# Installs the package that deb_test.sh built on this machine and runs one
# instance of tidecore@.service against a private IRC server on 127.0.0.1: it
# must join the channel, report a line appended to its log, and write its debug
# trace into the instance's state directory. MODE says how it is started:
#   unit-command  the unit's own command line (user, working directory,
#                 environment, ExecStart with the instance's ARGS) run as the
#                 service user, as systemd would run it;
#   systemd       systemctl start; skipped (exit 77, and the output says so)
#                 where systemd is not PID 1.
# A package this test installed is purged again afterwards; the user tidecore
# and /var/lib/tidecore must survive that.
#   install_test.sh BUILD_DIR NGIRCD WATCHER MODE
set -uo pipefail
build="$1"; ngircd="$2"; watcher="$3"; mode="$4"

under_systemd=0
if [ "$mode" = systemd ]; then
  if [ ! -d /run/systemd/system ]; then
    echo "SKIPPED: systemd is not PID 1 on this machine, so no instance is started with"
    echo "systemctl; the test package.install runs the unit's command line as user tidecore."
    exit 77
  fi
  under_systemd=1
fi

if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then exec sudo -n "$0" "$@"; fi
  echo "SKIPPED: installing the package needs root (or sudo without a password)"
  exit 77
fi
debs=("$build"/package-test/tidewatch_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: no package in $build/package-test (deb_test.sh builds it)"; exit 1; }
deb="${debs[0]}"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export DEBIAN_FRONTEND=noninteractive
unitfile=/usr/lib/systemd/system/tidecore@.service
instance="pkgtest$$"
conf="/etc/tidecore/$instance.conf"
state="/var/lib/tidecore/$instance"
nick=Tidepkg
# Not under /tmp: a service has its own.
scratch=$(mktemp -d /run/tidewatch-pkgtest.XXXXXX 2>/dev/null || mktemp -d /var/tmp/tidewatch-pkgtest.XXXXXX)
chmod 755 "$scratch"
pids=()
installed_here=0
purged=0

stop_all() {
  [ $under_systemd = 1 ] && systemctl stop "tidecore@$instance.service" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  pids=()
}
cleanup() {
  stop_all
  if [ $installed_here = 1 ]; then apt-get purge -y -q tidewatch >/dev/null 2>&1; purged=1; fi
  rm -f "$conf"
  rm -rf "$state" "$scratch"
  # dpkg kept the directory for the instance file; without the package it goes.
  [ $purged = 1 ] && rmdir /etc/tidecore 2>/dev/null
}
trap cleanup EXIT

# Waits up to $2 seconds for a line matching the pattern $1 in the file $3.
wait_for() {
  local i
  for ((i = 0; i < $2 * 5; i++)); do
    grep -Eq -- "$1" "$3" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}

# Install.
dpkg-query -W -f='${Status}' tidewatch 2>/dev/null | grep -q "install ok installed" || installed_here=1
if ! out=$(apt-get install -y -q --reinstall --no-install-recommends "$deb" 2>&1); then
  echo "$out"; echo "FAIL: apt-get install $deb"; exit 1
fi
echo "installed $(basename "$deb")"

entry=$(getent passwd tidecore) || fail "no user tidecore"
IFS=: read -r _ _ uid _ _ home shell <<<"$entry"
[ "${uid:-9999}" -lt 1000 ] || fail "tidecore is no system user: $entry"
[ "$home" = /var/lib/tidecore ] || fail "home of tidecore: $home"
[ "$shell" = /usr/sbin/nologin ] || fail "shell of tidecore: $shell"
[ "$(stat -c %U /var/lib/tidecore 2>/dev/null)" = tidecore ] || fail "/var/lib/tidecore is not tidecore's"
man -w tidecore >/dev/null 2>&1 || fail "man -w tidecore finds no page"

# The installed unit, with the installed program and manual page.
out=$(systemd-analyze verify "$unitfile" 2>&1) && [ -z "$out" ] || fail "systemd-analyze verify: $out"
report=$(systemd-analyze security --offline=yes "$unitfile" 2>&1)
exposure=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' <<<"$report")
if [ -n "$exposure" ] && awk -v e="$exposure" 'BEGIN { exit !(e < 5.0) }'; then
  echo "installed unit: systemd-analyze security --offline=yes exposure $exposure"
else
  fail "exposure of the installed unit: ${exposure:-none}: $report"
fi

# A private IRC server, and a watcher in the channel.
port=""
for _ in $(seq 1 50); do
  p=$(( 20000 + RANDOM % 20000 ))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then port=$p; break; fi
done
[ -n "$port" ] || { echo "FAIL: no free port"; exit 1; }
mkdir -p "$scratch/ircd.conf.d"
cat > "$scratch/ngircd.conf" <<CONF
[Global]
Name = irc.tidewatch.test
Info = Tidewatch package test
Listen = 127.0.0.1
Ports = $port
Password = zuzu
PidFile = $scratch/ngircd.pid
[Limits]
MaxNickLength = 30
[Options]
IncludeDir = $scratch/ircd.conf.d
DNS = no
Ident = no
PAM = no
CONF
chmod 644 "$scratch/ngircd.conf"
"$ngircd" -n -f "$scratch/ngircd.conf" >"$scratch/ngircd.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done
NO_COLOR=1 "$watcher" 127.0.0.1 "$port" "#tidewatch" watcher zuzu >"$scratch/channel.txt" 2>&1 &
pids+=($!)
wait_for '^\*\*\* watcher joined' 20 "$scratch/channel.txt" || { cat "$scratch"/*.out "$scratch/channel.txt"; echo "FAIL: watcher did not join"; exit 1; }

# The game's log, readable by the service user; the instance as the README sets it up.
mkdir -m 755 "$scratch/game"
install -m 644 /dev/null "$scratch/game/qconsole.log"
install -m 600 /dev/null "$conf"
echo "ARGS=\"-g -c -D 1 -p $port -n $nick 127.0.0.1 #tidewatch $scratch/game/qconsole.log\"" >"$conf"
install -d -m 750 -o tidecore -g tidecore "$state"
cp /usr/share/doc/tidewatch/examples/irccolors_sof2.cfg /usr/share/doc/tidewatch/examples/mapinfo_sof2.xml "$state/"

if [ $under_systemd = 1 ]; then
  systemctl daemon-reload
  systemctl start "tidecore@$instance.service" || fail "systemctl start tidecore@$instance"
  relay_output() { journalctl -u "tidecore@$instance.service" --no-pager -n 50; }
else
  setting() { sed -n "s/^$1=//p" "$unitfile" | sed "s/%i/$instance/g; s|%S|/var/lib|g"; }
  user=$(setting User); group=$(setting Group); workdir=$(setting WorkingDirectory)
  mapfile -t environment < <(setting Environment)
  # ARGS as the shell reads the file, split at blanks as systemd splits $ARGS.
  args=$(env -i bash -c 'set -a; . "$1"; printf %s "$ARGS"' _ "$(setting EnvironmentFile)")
  exec_start=$(setting ExecStart)
  read -r -a words <<<"${exec_start//\$ARGS/$args}"
  echo "as $user:$group in $workdir: ${environment[*]} ${words[*]}"
  (
    umask "$(setting UMask)"
    cd "$workdir" &&
      exec setpriv --reuid="$user" --regid="$group" --init-groups \
        env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "${environment[@]}" "${words[@]}"
  ) >"$scratch/relay.out" 2>&1 &
  pids+=($!)
  relay_output() { cat "$scratch/relay.out"; }
fi

if wait_for "^\*\*\* $nick joined #tidewatch" 60 "$scratch/channel.txt"; then
  echo "the instance joined #tidewatch"
  printf '%s\n' "Alice joined the red team." "Bob joined the blue team." "Bob was shot by Alice's M4" \
    >>"$scratch/game/qconsole.log"
  if wait_for "^<$nick> .*Bob.* was shot by .*Alice.*M4" 60 "$scratch/channel.txt"; then
    echo "the instance reported: $(grep "was shot by" "$scratch/channel.txt" | head -1)"
  else
    fail "no report of the appended line"
  fi
else
  fail "the instance did not join the channel"
fi

trace="$state/tidecore-trace.log"
if [ -f "$trace" ]; then
  [ "$(stat -c '%U %a' "$trace")" = "tidecore 600" ] || fail "trace file: $(stat -c '%U %a' "$trace")"
  grep -q "LOGFILE OPENED" "$trace" || fail "trace file without its banner"
else
  fail "no trace file in $state"
fi
[ $under_systemd = 1 ] && systemd-analyze security "tidecore@$instance.service" | tail -1

if [ "$failures" -ne 0 ]; then
  echo "--- relay"; relay_output; echo "--- channel"; cat "$scratch/channel.txt"; echo "--- ngircd"; cat "$scratch/ngircd.out"
fi
stop_all

# Removing the package keeps the user and the instances' data.
if [ $installed_here = 1 ]; then
  apt-get purge -y -q tidewatch >/dev/null 2>&1 || fail "apt-get purge tidewatch"
  installed_here=0
  purged=1
  getent passwd tidecore >/dev/null || fail "purge removed the user tidecore"
  [ -f "$state/irccolors_sof2.cfg" ] || fail "purge removed the instance's files in $state"
  [ -f "$conf" ] || fail "purge removed $conf"
  [ ! -e /usr/bin/tidecore ] || fail "purge left /usr/bin/tidecore"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "installed service: joined, reported, traced into its state directory"
