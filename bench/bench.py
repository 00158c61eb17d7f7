#!/usr/bin/env python3
"""Benchmarks of the real tidecore binary, each printing its figure beside a
reference command over the same data, measured in the same run.

  bench.py catchup  [--lines N]   catch-up throughput: -r not connected, -g connected
  bench.py status   [--lines N]   console catch-up with and without the live status files
  bench.py idle     [--seconds S] idle CPU and wake-ups, connected and joined
  bench.py latency  [--samples K] log append -> bytes at the IRC server
  bench.py rss                    peak resident size with 1000 players
  bench.py compare  OLD NEW       the channel bytes of two binaries over one log

The IRC server is a small sink on 127.0.0.1 (registration, JOIN, PING); the game
logs come from tidewatch-loggen with a fixed seed. Wall-clock figures are noisy
on a shared machine: run twice and compare."""

import argparse
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.environ.get("TIDEWATCH_BUILD", os.path.join(HERE, "..", "build"))
LOGGEN = os.path.join(BUILD, "bench", "tidewatch-loggen")
TIDECORE = os.path.join(BUILD, "tidecore")
WORK = os.environ.get("TIDEWATCH_BENCH_DIR", os.path.join(tempfile.gettempdir(), "tidewatch-bench"))
CHANNEL = "#bench"
NICK = "benchbot"


class Sink:
    """A minimal IRC server: welcomes the relay, echoes its JOIN, answers PING,
    and keeps every line it receives with its arrival time."""

    def __init__(self):
        self.srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.srv.bind(("127.0.0.1", 0))
        self.srv.listen(4)
        self.port = self.srv.getsockname()[1]
        self.lines = []  # (monotonic time, bytes)
        self.accepted = None
        self.joined = None
        self.cond = threading.Condition()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                conn, _ = self.srv.accept()
            except OSError:
                return
            with self.cond:
                if self.accepted is None:
                    self.accepted = time.monotonic()
                self.cond.notify_all()
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        buf = b""
        nick = NICK
        while True:
            try:
                data = conn.recv(65536)
            except OSError:
                return
            if not data:
                return
            now = time.monotonic()
            buf += data
            while b"\r\n" in buf:
                line, buf = buf.split(b"\r\n", 1)
                words = line.split(b" ")
                cmd = words[0].upper()
                if cmd == b"NICK" and len(words) > 1:
                    nick = words[1].decode(errors="replace")
                elif cmd == b"USER":
                    conn.sendall((":sink 001 %s :Welcome\r\n" % nick).encode())
                elif cmd == b"JOIN" and len(words) > 1:
                    conn.sendall(b":" + nick.encode() + b"!u@h JOIN " + words[1] + b"\r\n")
                    with self.cond:
                        self.joined = now
                        self.cond.notify_all()
                elif cmd == b"PING":
                    conn.sendall(b":sink PONG sink " + (words[1] if len(words) > 1 else b"") + b"\r\n")
                with self.cond:
                    self.lines.append((now, line))
                    self.cond.notify_all()

    def wait_for(self, pred, timeout):
        end = time.monotonic() + timeout
        with self.cond:
            while not pred():
                left = end - time.monotonic()
                if left <= 0:
                    return False
                self.cond.wait(left)
        return True

    def privmsgs(self):
        with self.cond:
            return [l for _, l in self.lines if l.startswith(b"PRIVMSG " + CHANNEL.encode())]

    def close(self):
        self.srv.close()


def log_file(kind, lines, players=24):
    os.makedirs(WORK, exist_ok=True)
    path = os.path.join(WORK, "%s-%d-%d.log" % (kind, lines, players))
    if not os.path.exists(path):
        args = [LOGGEN, "--lines", str(lines), "--seed", "14", "--players", str(players)]
        if kind == "server":
            args.append("--server")
        subprocess.run(args + [path], check=True)
    return path


def start_relay(binary, sink, logpath, options, cwd, general=""):
    args = [os.path.abspath(binary), "-q", "-m", "-x", "none.xml", "-y", "colours.cfg", "-p", str(sink.port), "-n", NICK]
    args += options + ["127.0.0.1", CHANNEL, logpath]
    with open(os.path.join(cwd, "colours.cfg"), "w") as f:
        f.write("[general]\nwaitmillisecs=1000\n" + general)
    return subprocess.Popen(args, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(proc):
    proc.kill()
    proc.wait()


def cpu_ns(pid):
    with open("/proc/%d/schedstat" % pid) as f:
        return int(f.read().split()[0])


def voluntary_switches(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("voluntary_ctxt_switches"):
                return int(line.split()[1])
    return 0


def status_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def log_position(pid, logpath):
    """The read position of the relay in the log (from /proc/<pid>/fdinfo)."""
    fddir = "/proc/%d/fd" % pid
    try:
        for fd in os.listdir(fddir):
            try:
                if os.readlink(os.path.join(fddir, fd)) == logpath:
                    with open("/proc/%d/fdinfo/%s" % (pid, fd)) as f:
                        return int(f.readline().split()[1])
            except OSError:
                continue
    except OSError:
        pass
    return -1


def marker_line(kind, token):
    if kind == "server":
        return "  0:00 say: Bench: %s\n" % token
    return "^1Bench^7: ^2%s\n" % token


def timed(cmd):
    t = time.monotonic()
    out = subprocess.run(cmd, stdout=subprocess.PIPE, check=False).stdout
    return time.monotonic() - t, out


def row(name, figure, reference):
    print("%-44s %-30s %s" % (name, figure, reference))
    sys.stdout.flush()


def first_read(proc, path, timeout=900):
    """When the relay has read its first bytes of the log (or the time out)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if log_position(proc.pid, path) > 0:
            return time.monotonic()
        time.sleep(0.0005)
    return time.monotonic()


def catchup(binary, kind, mode, lines, statusdir=False):
    """Lines a second from the first log byte read to the end of the held-back
    part, found by a marker line appended at start (the first line reported).
    With statusdir the relay keeps its live status files meanwhile."""
    logpath = log_file(kind, lines)
    work = tempfile.mkdtemp(dir=WORK)
    if statusdir:
        os.mkdir(os.path.join(work, "status"))
        with open(os.path.join(work, "irccolors_sof2.cfg"), "w") as f:
            f.write("[general]\nstatusdir=%s\n" % os.path.join(work, "status"))
    path = os.path.join(work, "game.log")
    subprocess.run(["cp", logpath, path], check=True)
    sink = Sink()
    opts = ["-v"] if kind == "server" else []
    opts += ["-r", str(lines)] if mode == "r" else ["-g"]
    proc = start_relay(binary, sink, path, opts, work)
    token = "marker%d" % os.getpid()
    if mode == "r":
        with open(path, "a") as f:
            f.write(marker_line(kind, token))
    t0 = first_read(proc, path)
    c0 = cpu_ns(proc.pid)
    if mode == "g":
        with open(path, "a") as f:
            f.write(marker_line(kind, token))
        done = lambda: any(token.encode() in l for l in sink.privmsgs())
        ok = sink.wait_for(done, 900)
        t1 = [t for t, l in sink.lines if token.encode() in l][0] if ok else time.monotonic()
    else:
        ok = sink.wait_for(lambda: sink.accepted is not None, 900)
        t1 = sink.accepted if ok else time.monotonic()
    c1 = cpu_ns(proc.pid)
    stop(proc)
    sink.close()
    secs = max(t1 - t0, 1e-6)
    return lines / secs, secs, (c1 - c0) / 1e9


def cmd_catchup(a):
    for kind in ("console", "server"):
        logpath = log_file(kind, a.lines)
        needle = "was shot by" if kind == "console" else "Kill:"
        timed(["cat", logpath])  # the file in the page cache for both
        gsecs, _ = timed(["grep", "-c", needle, logpath])
        for mode in ("r", "g"):
            rate, secs, cpu = catchup(a.binary, kind, mode, a.lines)
            row("catch-up %s -%s%s (%d lines)" % (kind, mode, " connected" if mode == "g" else "", a.lines),
                "%.0f lines/s (%.2f s, cpu %.2f s)" % (rate, secs, cpu),
                "grep -c '%s': %.3f s (%.1fx)" % (needle, gsecs, secs / gsecs))


def cmd_status(a):
    """The cost of the status files to a catch-up: the same log, alternately
    without and with them, best of three each."""
    without, with_files = [], []
    for _ in range(3):
        without.append(catchup(a.binary, "console", "r", a.lines)[1])
        with_files.append(catchup(a.binary, "console", "r", a.lines, statusdir=True)[1])
    base, cost = min(without), min(with_files)
    row("catch-up console -r (%d lines)" % a.lines, "with status files %.3f s" % cost,
        "without %.3f s (%+.1f %%)" % (base, (cost - base) / base * 100))


def joined_relay(binary, kind="console", general=""):
    work = tempfile.mkdtemp(dir=WORK)
    path = os.path.join(work, "game.log")
    with open(path, "w") as f:
        f.write(marker_line(kind, "start"))
    sink = Sink()
    proc = start_relay(binary, sink, path, ["-g"], work, general % {"work": work} if general else "")
    if not sink.wait_for(lambda: sink.joined is not None, 60):
        stop(proc)
        raise SystemExit("the relay did not join")
    time.sleep(3)  # the pause after the JOIN and the login's end
    return proc, sink, path


def cmd_idle(a):
    proc, sink, path = joined_relay(a.binary)
    tail = subprocess.Popen(["tail", "-f", path], stdout=subprocess.DEVNULL)
    time.sleep(1)
    start = (cpu_ns(proc.pid), voluntary_switches(proc.pid), cpu_ns(tail.pid), voluntary_switches(tail.pid))
    time.sleep(a.seconds)
    end = (cpu_ns(proc.pid), voluntary_switches(proc.pid), cpu_ns(tail.pid), voluntary_switches(tail.pid))
    stop(proc)
    stop(tail)
    sink.close()
    s = a.seconds
    row("idle %ds, connected, log unchanged" % s,
        "%.4f %% cpu, %.2f wake-ups/s" % ((end[0] - start[0]) / 1e7 / s, (end[1] - start[1]) / s),
        "tail -f: %.4f %% cpu, %.2f wake-ups/s" % ((end[2] - start[2]) / 1e7 / s, (end[3] - start[3]) / s))


def cmd_latency(a):
    general = "statsdb=%(work)s/stats.db\n" if a.statsdb else ""
    proc, sink, path = joined_relay(a.binary, general=general)
    samples = []
    for i in range(a.samples):
        token = "lat%d_%d" % (os.getpid(), i)
        with open(path, "a") as f:
            t = time.monotonic()
            f.write(marker_line("console", token))
        if sink.wait_for(lambda: any(token.encode() in l for l in sink.privmsgs()), 10):
            got = [tt for tt, l in sink.lines if token.encode() in l][0]
            samples.append(got - t)
        time.sleep(1.3)  # past the pacing pause of the line just sent
    stop(proc)
    sink.close()
    # Reference: tail -f over a pipe, the same appends.
    ref = []
    tail = subprocess.Popen(["tail", "-n0", "-f", path], stdout=subprocess.PIPE)
    time.sleep(0.5)
    for i in range(a.samples):
        with open(path, "a") as f:
            t = time.monotonic()
            f.write("ref%d\n" % i)
        tail.stdout.readline()
        ref.append(time.monotonic() - t)
        time.sleep(0.2)
    stop(tail)
    row("latency append -> IRC server (%d samples%s)" % (len(samples), ", statsdb" if a.statsdb else ""),
        "median %.2f ms, max %.2f ms" % (statistics.median(samples) * 1e3, max(samples) * 1e3) if samples else "none",
        "tail -f: median %.2f ms" % (statistics.median(ref) * 1e3))


def stored_offset(db):
    """The offset the statistics database holds for its newest log, or -1."""
    import sqlite3
    try:
        c = sqlite3.connect("file:%s?mode=ro" % db, uri=True, timeout=0.1)
        row_ = c.execute("SELECT offset FROM log_files ORDER BY id DESC LIMIT 1").fetchone()
        c.close()
        return row_[0] if row_ else -1
    except sqlite3.Error:
        return -1


def cmd_statsdb(a):
    """Backfill of the all-time statistics: a whole console log read with -r into
    an empty database, from the first log byte read to the offset of its last
    line committed; best of three."""
    logpath = log_file("console", a.lines)
    size = os.path.getsize(logpath)
    best = None
    for _ in range(3):
        work = tempfile.mkdtemp(dir=WORK)
        path = os.path.join(work, "game.log")
        db = os.path.join(work, "stats.db")
        subprocess.run(["cp", logpath, path], check=True)
        sink = Sink()
        proc = start_relay(a.binary, sink, path, ["-r", str(a.lines)], work, "statsdb=%s\n" % db)
        t0 = first_read(proc, path)
        deadline = time.monotonic() + 900
        while stored_offset(db) != size and time.monotonic() < deadline:
            time.sleep(0.01)
        t1 = time.monotonic()
        stop(proc)
        sink.close()
        best = t1 - t0 if best is None else min(best, t1 - t0)
    import sqlite3
    c = sqlite3.connect(db)
    kills = c.execute("SELECT count(*) FROM kills").fetchone()[0]
    c.close()
    row("statsdb backfill, console -r (%d lines)" % a.lines, "%.0f lines/s (%.2f s)" % (a.lines / best, best),
        "%d kill rows, %.1f MB database" % (kills, os.path.getsize(db) / 1e6))


def cmd_rss(a):
    lines = 300000
    logpath = log_file("console", lines, players=1000)
    work = tempfile.mkdtemp(dir=WORK)
    path = os.path.join(work, "game.log")
    subprocess.run(["cp", logpath, path], check=True)
    sink = Sink()
    proc = start_relay(a.binary, sink, path, ["-r", str(lines)], work)
    with open(path, "a") as f:
        f.write(marker_line("console", "rss"))
    sink.wait_for(lambda: sink.accepted is not None, 600)
    hwm = status_kb(proc.pid, "VmHWM")
    stop(proc)
    sink.close()
    tail = subprocess.Popen(["tail", "-f", path], stdout=subprocess.DEVNULL)
    time.sleep(0.5)
    ref = status_kb(tail.pid, "VmHWM")
    stop(tail)
    row("peak RSS, 1000 players, %d lines" % lines, "%.2f MB" % (hwm / 1024), "tail -f: %.2f MB" % (ref / 1024))


def cmd_compare(a):
    """Both binaries over the same logs and settings; the channel bytes must match."""
    for kind in ("console", "server"):
        logpath = log_file(kind, a.lines)
        results = []
        for binary in (a.old, a.new):
            work = tempfile.mkdtemp(dir=WORK)
            path = os.path.join(work, "game.log")
            subprocess.run(["cp", logpath, path], check=True)
            sink = Sink()
            opts = (["-v"] if kind == "server" else []) + ["-r", str(a.lines - a.reported), "-c"]
            proc = start_relay(binary, sink, path, opts, work)
            # Reports start after the catch-up and the login, and stop when the log
            # ends: wait until nothing new came for a while.
            sink.wait_for(lambda: sink.joined is not None, 300)
            last = -1
            while True:
                time.sleep(3)
                n = len(sink.privmsgs())
                if n == last:
                    break
                last = n
            stop(proc)
            sink.close()
            results.append(sink.privmsgs())
        same = results[0] == results[1]
        row("compare %s, last %d of %d lines" % (kind, a.reported, a.lines),
            "%s (%d lines)" % ("identical" if same else "DIFFERENT", len(results[1])),
            "old binary: %d lines" % len(results[0]))
        if not same:
            sys.exit(1)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--binary", default=TIDECORE)
    sub = p.add_subparsers(dest="cmd", required=True)
    c = sub.add_parser("catchup")
    c.add_argument("--lines", type=int, default=2000000)
    c = sub.add_parser("status")
    c.add_argument("--lines", type=int, default=2000000)
    c = sub.add_parser("idle")
    c.add_argument("--seconds", type=int, default=60)
    c = sub.add_parser("latency")
    c.add_argument("--samples", type=int, default=20)
    c.add_argument("--statsdb", action="store_true", help="with an all-time statistics database")
    c = sub.add_parser("statsdb")
    c.add_argument("--lines", type=int, default=2000000)
    sub.add_parser("rss")
    c = sub.add_parser("compare")
    c.add_argument("old")
    c.add_argument("new")
    c.add_argument("--lines", type=int, default=200000)
    c.add_argument("--reported", type=int, default=40)
    a = p.parse_args()
    os.makedirs(WORK, exist_ok=True)
    {"catchup": cmd_catchup, "status": cmd_status, "idle": cmd_idle, "latency": cmd_latency, "rss": cmd_rss, "compare": cmd_compare,
     "statsdb": cmd_statsdb}[a.cmd](a)


if __name__ == "__main__":
    main()
