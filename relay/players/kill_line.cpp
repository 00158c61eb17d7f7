// The kill report line: "[12:34] Bob was shot by Alice's M4" in IRC colours.
#include "relay/players/kill_line.h"

#include "relay/base/line_buf.h"
#include "relay/relay.h"
#include "relay/irc/output.h"
#include "relay/players/table.h"
#include "relay/base/text.h"

std::string showkd(Relay& r, int id)
{
    if (!r.settings.playerstats) {
        trace(r, 11, "SHOWKD OFF\r\n");
        return {};
    }
    if (id == kWorldId || id < 0) {
        trace(r, 11, "WORLDID KILL\r\n");
        return {};
    }
    const int slot = find_player(r, id);
    if (slot < 0) {
        trace(r, 11, "%d: UNKNOWN ID %d\r\n", r.log.linesread, id);
        return {};
    }
    const PlayerRecord& p = r.players.slots[slot];
    trace(r, 11, "SHOWKD %d = %d\r\n", p.id, id);
    LineBuf b;
    b.addf("%c%c%s [%2d/%2d]", kPlain, kColour, r.colours.playerstats.c_str(), p.kills, p.deaths);
    return b.c_str();
}

namespace {

// A name as shown on IRC: as given in teammode (already colour-free), colour-free
// in the one player colour when that is set, else in its own game colours.
void prepare_name(Relay& r, const char* name, int& colour, LineBuf& out)
{
    if (!name)
        return;
    if (r.settings.teammode) {
        out.add(name);
    } else if (r.colours.playercolor != -1) {
        out.add(strip_colours(r.settings.osp, name));
        colour = r.colours.playercolor;
    } else {
        translate_colours(r.settings.osp, name, out);
    }
}

} // namespace

void send_line(Relay& r, const char* clocktext, int killercolour, const char* killername,
              const char* killerstyle, const char* phrase, int victimcolour, const char* victimname,
              const char* victimstyle, const char* text, int killerid, int victimid)
{
    if (!r.settings.showplay)
        return;
    // While catching up the line would be dropped unsent: not built at all, unless
    // the trace shows how it is built.
    if (r.settings.debuglevel < 11 && reports_held_back(r))
        return;
    trace(r, 11, "send_line %d\r\n", r.log.linesread);

    LineBuf killer;
    LineBuf victim;
    prepare_name(r, killername, killercolour, killer);
    prepare_name(r, victimname, victimcolour, victim);
    const char* clock = clocktext ? clocktext : "";
    const char* kstyle = killerstyle ? killerstyle : "";
    const char* vstyle = victimstyle ? victimstyle : "";
    const char* def = r.colours.default_.c_str();
    const char* pstyle = r.colours.playerstyle.c_str();

    LineBuf line;
    if (killername && victimname && phrase && text) {
        const std::string plainphrase = strip_colours(r.settings.osp, phrase);
        const std::string killerkd = showkd(r, killerid);
        line.start(def, clock)
            .addf("%c%d %s%s%s%c%c%s%s%c%c%s%c%d%s%c%c%s%s%c%c%s%s", kColour, victimcolour, pstyle, victim.c_str(),
                  showkd(r, victimid).c_str(), kPlain, kColour, kstyle, plainphrase.c_str(), kPlain, kColour, def,
                  kColour, killercolour, pstyle, kReverse, kReverse, killer.c_str(), killerkd.c_str(), kPlain,
                  kColour, vstyle, text);
    } else if (victimname && text) {
        line.start(def, clock).addf("%c%d %s%s%s%c%c%s%s", kColour, victimcolour, pstyle, victim.c_str(),
                                    showkd(r, victimid).c_str(), kPlain, kColour, vstyle, text);
    } else {
        if (!victimname)
            trace(r, 11, "UNKNOWN p2 [%d]\r\n", r.log.linesread);
        if (!text)
            trace(r, 11, "UNKNOWN eind [%d]\r\n", r.log.linesread);
        if (r.settings.debuglevel < 11)
            return;
        line.start(r.colours.botinfo).add(" UNKNOWN KILL INFO!!");
    }
    send_privmsg(r, cstr(r.settings.channel), line.c_str(), 0);
}
