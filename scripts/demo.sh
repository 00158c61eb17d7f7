#!/usr/bin/env bash
# The relay's main job on a bundled demo: starts a private IRC server on 127.0.0.1,
# a stand-in for the game server's status port, and tidecore against both,
# following a log that grows line by line from a recording; then shows the channel
# as a user in it sees it.
#
#   scripts/demo.sh          the game's console log of a CTF match (client mode)
#   scripts/demo.sh server   the dedicated server's event log (server mode, -v)
#
# The game server stand-in answers the relay's status queries with the host name,
# map, limits, team scores and the recording's players, so the map name, the
# scores and (in the status block, after 70 quiet seconds) the server's player
# list look as they do beside a real server.
# Ctrl-C stops everything. DEMO_SECONDS=N stops it by itself after N seconds;
# DEMO_DELAY sets the seconds between replayed log lines (default 1).
set -euo pipefail
mode="${1:-console}"
case "$mode" in
  console|server) ;;
  *) echo "usage: $0 [console|server]" >&2; exit 2 ;;
esac
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

"$root/scripts/deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build tidecore tidewatch-watch tidewatch-gameserver >/dev/null

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
# The game server's status port: UDP, another free port nearby.
gport=$(( port + 1 ))

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

# The game server stand-in. Its answer (server info line, then one line per
# player: score, ping, team, name) is read from status.txt at every query.
write_status() {
  local red="$1" blue="$2"
  if [ "$mode" = server ]; then
    printf '%s\n' \
      "\\sv_hostname\\^1Tide^7watch ^4Demo\\mapname\\mp_jor1\\g_gametype\\inf\\scorelimit\\5\\timelimit\\15\\redscore\\$red\\bluescore\\$blue" \
      '14 48 1 "Viper"' '6 62 2 "^4Ghost"' '-1 55 1 "^3Sn^7ake^1X"' '3 40 2 "^5Ice^7man"'
  else
    printf '%s\n' \
      "\\sv_hostname\\^1Tide^7watch ^4Demo\\mapname\\mp_jor1\\g_gametype\\ctf\\scorelimit\\10\\timelimit\\20\\redscore\\$red\\bluescore\\$blue" \
      '21 48 1 "Viper"' '17 62 2 "^4Ghost"' '9 55 1 "^3Sn^7ake"' '12 40 2 "^5Ice^7man"' \
      '8 71 1 "Razor"' '11 35 2 "Hawk"' '4 90 1 "Kilo"' '7 66 2 "Nomad"'
  fi > "$work/status.tmp"
  mv "$work/status.tmp" "$work/status.txt"
}
write_status 0 0
"$root/build/tidewatch-gameserver" "$gport" "$work/status.txt" &
pids+=($!)

# The relay, in a working directory holding its configuration files. The status
# query writes its player list into the channel (showconnectinfo 512); in server
# mode the players' arrivals, team changes and departures are reported as well.
cp "$root/examples/irccolors_sof2.cfg" "$root/examples/mapinfo_sof2.xml" "$work/"
if [ "$mode" = server ]; then
  echo "showconnectinfo=583" >> "$work/irccolors_sof2.cfg"
  logname=games.log
  recording="$root/demo/sample_games.log"
  options=(-v -m)
else
  echo "showconnectinfo=512" >> "$work/irccolors_sof2.cfg"
  logname=qconsole.log
  recording="$root/demo/sample_qconsole.log"
  options=(-z -m -c)
fi
: > "$work/$logname"
# The live status files of the match: status.json, index.html, metrics.prom.
mkdir -p "$work/status"
chmod 755 "$work/status"
echo "statusdir=$work/status" >> "$work/irccolors_sof2.cfg"
echo "Live status page: $work/status/index.html (serve the folder, e.g."
echo "  python3 -m http.server --bind 127.0.0.1 --directory $work/status 8080"
echo "and open http://127.0.0.1:8080/ ; metrics for node_exporter: $work/status/metrics.prom)"
echo
# A game server on this machine is named by host name: the address 127.0.0.1 is
# reserved for the local game client that receives the in-game answers.
(cd "$work" && exec "$root/build/tidecore" "${options[@]}" -w localhost -d "$gport" -p "$port" \
   127.0.0.1 "#tidewatch" "$logname" >"$work/tidecore.out" 2>&1) &
pids+=($!)

# The game: the recording is written into the log line by line, and the game
# server's team scores follow its captures and its score lines.
(
  red=0
  blue=0
  sleep 4
  while IFS= read -r line; do
    printf '%s\n' "$line" >> "$work/$logname"
    case "$line" in
      *"has captured the Blue Flag!"*) red=$((red + 1)); write_status "$red" "$blue" ;;
      *"has captured the Red Flag!"*) blue=$((blue + 1)); write_status "$red" "$blue" ;;
      *" red:"*" blue:"*)
        red="${line#* red:}"; red="${red%% *}"
        blue="${line##* blue:}"
        write_status "$red" "$blue" ;;
    esac
    sleep "${DEMO_DELAY:-1}"
  done < "$recording"
) &
pids+=($!)

if [ -n "${DEMO_SECONDS:-}" ]; then
  sleep "$DEMO_SECONDS"
else
  wait "${pids[1]}"
fi
