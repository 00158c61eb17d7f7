#!/usr/bin/env python3
"""An independent tally of the kills in the console logs the statistics tests
write: joins set teams, "<victim>^7 was shot by <killer>^7's <weapon>" is a kill
(a team kill when both are on one team), "<name>^7 killed himself." a suicide.
Prints name|kills|deaths|teamkills|suicides per player, by name, as
"SELECT name, kills, deaths, teamkills, suicides FROM player_totals ORDER BY name"
prints it with the sqlite3 tool."""
import re
import sys

JOIN = re.compile(r"^(?P<name>.+?)\^7 joined the (?P<team>red|blue) team\.$")
KILL = re.compile(r"^(?P<victim>.+?)\^7 was shot by (?P<killer>.+?)\^7's .+$")
SUICIDE = re.compile(r"^(?P<name>.+?)\^7 killed himself\.$")


def plain(name):
    return re.sub(r"\^.", "", name)


def main():
    team = {}
    totals = {}

    def row(name):
        return totals.setdefault(plain(name), [0, 0, 0, 0])

    for path in sys.argv[1:]:
        with open(path, encoding="latin-1") as f:
            for line in f:
                line = line.rstrip("\n")
                m = JOIN.match(line)
                if m:
                    team[plain(m["name"])] = m["team"]
                    continue
                m = KILL.match(line)
                if m:
                    k, v = plain(m["killer"]), plain(m["victim"])
                    if team.get(k) and team.get(k) == team.get(v):
                        row(k)[2] += 1
                        row(v)
                    else:
                        row(k)[0] += 1
                        row(v)[1] += 1
                    continue
                m = SUICIDE.match(line)
                if m:
                    row(m["name"])[3] += 1
    for name in sorted(totals):
        print("|".join([name] + [str(n) for n in totals[name]]))


if __name__ == "__main__":
    main()
