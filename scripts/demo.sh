#!/usr/bin/env bash
# The relay's main job on a bundled demo: starts a private IRC server on 127.0.0.1,
# starts tidecore against it following a console log that grows line by line from
# a recorded SOF2 match, and shows the channel as a user in it sees it.
# Ctrl-C stops everything. DEMO_SECONDS=N stops it by itself after N seconds;
# DEMO_DELAY sets the seconds between replayed log lines (default 1).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

"$root/scripts/deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build tidecore tidewatch-watch >/dev/null

work="$(mktemp -d /tmp/tidewatch-demo.XXXXXX)"
chmod 755 "$work"
pids=()
cleanup() {
  trap - INT TERM EXIT
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  echo
  echo "Demo stopped. Relay console output was in $work/tidecore.out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A free port on 127.0.0.1.
port=""
for _ in $(seq 1 50); do
  p=$(( 20000 + RANDOM % 20000 ))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then port=$p; break; fi
done
[ -n "$port" ] || { echo "no free port found" >&2; exit 1; }

mkdir -p "$work/ircd.conf.d"
cat > "$work/ngircd.conf" <<CONF
[Global]
Name = irc.tidewatch.demo
Info = Tidewatch demo server
Listen = 127.0.0.1
Ports = $port
Password = zuzu
PidFile = $work/ngircd.pid
MotdPhrase = Tidewatch demo
[Limits]
MaxNickLength = 30
[Options]
IncludeDir = $work/ircd.conf.d
DNS = no
Ident = no
PAM = no
CONF
chmod 644 "$work/ngircd.conf"
/usr/sbin/ngircd -n -f "$work/ngircd.conf" >"$work/ngircd.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

echo "IRC server on 127.0.0.1:$port, channel #tidewatch. Press Ctrl-C to stop."
echo

# The watcher: a user in the channel.
"$root/build/tidewatch-watch" 127.0.0.1 "$port" "#tidewatch" watcher zuzu &
pids+=($!)
sleep 1

# The relay, in a working directory holding its configuration files.
cp "$root/examples/irccolors_sof2.cfg" "$root/examples/mapinfo_sof2.xml" "$work/"
: > "$work/qconsole.log"
(cd "$work" && exec "$root/build/tidecore" -z -m -c -p "$port" 127.0.0.1 "#tidewatch" qconsole.log >"$work/tidecore.out" 2>&1) &
pids+=($!)

# The game: the recorded match is written into the log line by line.
(
  sleep 4
  while IFS= read -r line; do
    printf '%s\n' "$line" >> "$work/qconsole.log"
    sleep "${DEMO_DELAY:-1}"
  done < "$root/demo/sample_qconsole.log"
) &
pids+=($!)

if [ -n "${DEMO_SECONDS:-}" ]; then
  sleep "$DEMO_SECONDS"
else
  wait "${pids[1]}"
fi
