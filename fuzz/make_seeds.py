#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/ from the unit tests' inputs
and the example configuration files. Run from anywhere; the files it writes are
committed, so run it again only when the tests' inputs change much."""
import pathlib
import re
import shutil

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
PER_TARGET = 24  # seed files per target at most
LITERAL = re.compile(r'(?<![A-Za-z0-9_R])"((?:[^"\\\n]|\\.)*)"')


def unescape(text):
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out += c.encode()
            i += 1
            continue
        n = text[i + 1]
        i += 2
        if n == "x":
            m = re.match(r"[0-9a-fA-F]{1,2}", text[i:])
            out.append(int(m.group(0), 16))
            i += len(m.group(0))
        elif n in "01234567":
            m = re.match(r"[0-7]{1,3}", text[i - 1:])
            out.append(int(m.group(0), 8))
            i += len(m.group(0)) - 1
        else:
            out += {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\", '"': b'"', "'": b"'"}.get(n, n.encode())
    return bytes(out)


def literals(*files, keep=lambda s: True):
    seen = []
    for f in files:
        for m in LITERAL.finditer((ROOT / f).read_text(errors="replace")):
            s = unescape(m.group(1))
            if s and keep(s) and s not in seen:
                seen.append(s)
    return seen


def write(target, seeds):
    d = CORPUS / target
    shutil.rmtree(d, ignore_errors=True)
    d.mkdir(parents=True)
    for i, seed in enumerate(seeds[:PER_TARGET]):
        (d / f"seed{i:02d}").write_bytes(seed)


def packed(lines, sep=b"\n", each=4):
    """The lines grouped a few to a seed, so seeds also exercise line sequences."""
    groups = max(1, min(PER_TARGET, (len(lines) + each - 1) // each))
    return [sep.join(lines[g::groups]) + sep for g in range(groups)]


def not_output(s):
    return not s.startswith((b"PRIVMSG", b"{C}", b"> ", b"NOTICE Boss", b"\xff")) and b"{C}" not in s


console = literals("tests/gamelog/console_lines_test.cpp", "tests/players/kill_parse_test.cpp",
                   "tests/players/kill_line_test.cpp", keep=not_output)
write("console_lines", packed(console, each=6))

clock = re.compile(rb"^ *\d+:\d\d ")
server = [s if clock.match(s) else b"  1:00 " + s
          for s in literals("tests/gamelog/server_lines_test.cpp", keep=not_output)]
write("server_lines", packed(server, each=5))

commands = literals("tests/commands/console_commands_test.cpp", keep=not_output)
write("console_commands", packed([s for s in commands if re.match(rb"^[a-z]+( |$)", s)], each=3))

owner = literals("tests/commands/dispatch_test.cpp", "tests/commands/session_team_commands_test.cpp",
                 "tests/commands/settings_commands_test.cpp", keep=lambda s: s.startswith(b"!"))
write("owner_commands", packed(owner, each=3))

irc = [s.rstrip(b"\r\n") for s in literals("tests/irc/session_test.cpp", "tests/commands/command_fixture.h",
                                           keep=lambda s: s[:1] in (b":", b"P", b"N", b"E") and b" " in s)]
irc += [b":irc.test %03d SOF2Tidewatch :text" % n for n in (1, 403, 404, 432, 433, 442, 451, 464, 468, 473, 474, 475)]
irc += [b":Boss!user@host PRIVMSG SOF2Tidewatch :!pass s3cret", b":Boss!user@host PRIVMSG #chan :!help"]
write("irc_lines", packed(irc, sep=b"\r\n", each=3))

colours = (ROOT / "examples" / "irccolors_sof2.cfg").read_bytes()
sections = re.split(rb"\n(?=\[)", colours)
write("colour_file", [colours] + [s + b"\n" for s in sections] +
      literals("tests/config/colours_test.cpp", keep=lambda s: b"=" in s or s.startswith(b"[")))

maps = (ROOT / "examples" / "mapinfo_sof2.xml").read_bytes()
blocks = re.findall(rb"<map.*?</map>", maps, re.S)
write("map_file", [maps] + [b for b in blocks[:12]] +
      literals("tests/config/mapinfo_test.cpp", keep=lambda s: s.lstrip().startswith(b"<")))

H = b"\xff\xff\xff\xffstatusResponse"
info = b"\\sv_hostname\\^1Tide^7watch\\mapname\\mp_jor1\\g_gametype\\ctf\\scorelimit\\10" \
       b"\\timelimit\\20\\redscore\\3\\bluescore\\1\\sv_maxclients\\16"
players = b'5 48 2 "^1Bob"\n-3 999 "Al"\n12 30 1 "Cy"\n'
write("status_reply", [
    b"\0" + H + b"\n" + info + b"\n" + players,
    b"\0" + H + b"\n" + info + b"\n",
    b"\0" + H + b"\n" + info + b"\n" + players + H + b"\n" + info + b"\n" + players,
    b"\1" + H + b"\n" + info + b"\n" + players[:20],
    b"\0" + H,
    b"\0" + b"junk\n" + H + b"\n\n1 2\n",
    b"\0\xff\xff\xff\xffprint\nhello\n",
    b"\0" + H + b"\n\\g_gametype\\inf\\mapname\\mp_shop\n0 0 \"\"\n",
])

write("command_line", [
    b"irc.test\n#chan\n/log/games.log",
    b"-n\nTide\n-b\npass\n-p\n6668\nirc.test\n#chan\n/log/games.log",
    b"-w\n10.0.0.5\n-d\n27960\n-o\n-O\n7\nirc.test\n#a,#b\n/log/games.log",
    b"-r\n100\n-g\n-s\n20\n-k\nde\n-l\nnl\nirc.test\n#chan\n/log/games.log",
    b"-x\n/etc/maps.ini\n-y\n/etc/colours.ini\n-j\nkey\n-u\nuser\n-f\nqpass\n-e\nQnick\nirc.test\n#chan\n/log/games.log",
    b"-a\n-c\n-i\n-m\n-q\n-t\n-v\n-z\n-A\n-B\nbp\n-C\n-F\n-I\n-P\nirc.test\n#chan\n/log/games.log",
    b"-h",
    b"-p\n99999\nirc.test\nchan\n/log/games.log",
])
