// Kill and team-kill bookkeeping: every kill the relay learns of ends here.
#include "relay/players/kill_count.h"

#include "relay/base/lang.h"
#include "relay/base/line_buf.h"
#include "relay/relay.h"
#include "relay/base/text.h"
#include "relay/players/kill_line.h"
#include "relay/players/table.h"

namespace {

// Output phrases, by langout.
constexpr LangText kShot = {{" was shot by ", " wurde erschossen von ", " werd neergeschoten door "}};
constexpr LangText kDetonated = {{" was detonated by ", " wurde gesprengt durch ", " werd opgeblazen door "}};
constexpr LangText kPumped = {{" was pumped full of lead by ", " wurde vollgepumpt von ",
                               " werd volgepompt met lood door "}};
constexpr LangText kSniped = {{" was sniped by ", " wurde gesniped von ",
                               " werd gedood door het scherpschutters geweer van "}};
constexpr LangText kBludgeoned = {{" was bludgeoned by ", " wurde zerschlagen von ", " werd doodgeknuppeld door "}};
constexpr LangText kStabbed = {{" was stabbed by ", " wurde erstochen von ", " werd neergestoken door "}};
constexpr LangText kKilledHimself = {{" killed himself.", " t\366tete sich selbst.", " pleegde zelfmoord."}};
constexpr LangText kFell = {{" fell to his death.", " st\374rzte sich zu Tode..", " viel te pletter."}};
constexpr LangText kWrongPlace = {{" was in the wrong place.", " war am Falschen Platz.",
                                   " was op de verkeerde plaats."}};
constexpr LangText kBlewUp = {{" blew himself up.", " hat sich selbst gesprengt.", " blies zichzelf op."}};
constexpr LangText kUnsupported = {{" UNKNOWN ?? UNSUPPORTED BY BOT", " UNBEKANNT ?? NICHT BENUTZT BEIM BOT",
                                    " ONBEKEND ?? NIET GEBRUIKT DOOR BOT"}};

// What a weapon name follows in the kill line.
constexpr LangText kWeaponLead = {{"'s ", " - ", "'s "}};

enum class Suicide {
    never,
    always,
    self,          // killer id equals victim id
    world_or_self, // also when the world is the killer
};

struct WeaponRow {
    int weapon;
    Suicide suicide;
    const LangText* suicidetext;
    const LangText* phrase; // with a blow the bludgeoned phrase, unless fixed
    bool fixedphrase;       // the phrase holds for every kind
    const char* name;       // empty: a present but empty weapon text
    const LangText* statsname; // weapon statistics name where there is no weapon name
};

// Names for the weapon statistics of deaths known without a weapon name.
constexpr LangText kStatsUnknown = {{"unknown weapon", "unbekannte Waffe", "onbekend wapen"}};
constexpr LangText kStatsKnife = {{"knife", "Messer", "mes"}};
constexpr LangText kStatsSniper = {{"sniper rifle", "Scharfsch\374tzengewehr", "scherpschuttersgeweer"}};
constexpr LangText kStatsShotgun = {{"shotgun", "Schrotflinte", "jachtgeweer"}};
constexpr LangText kStatsExplosive = {{"explosive", "Sprengstoff", "explosief"}};
constexpr LangText kStatsBlow = {{"blow", "Schlag", "slag"}};
constexpr LangText kStatsBlade = {{"blade", "Klinge", "lemmet"}};
// Any other weapon number (a printf format for the number).
constexpr LangText kStatsOther = {{"weapon #%d", "Waffe #%d", "wapen #%d"}};

constexpr WeaponRow kWeapons[] = {
    {0, Suicide::world_or_self, &kKilledHimself, &kShot, false, "", &kStatsUnknown},
    {1, Suicide::never, nullptr, &kStabbed, false, "", &kStatsKnife},
    {2, Suicide::never, nullptr, &kShot, false, "M1911A1", nullptr},
    {3, Suicide::never, nullptr, &kShot, false, "US SOCOM", nullptr},
    {4, Suicide::never, nullptr, &kShot, false, "Silver Talon", nullptr},
    {5, Suicide::never, nullptr, &kPumped, false, "M590", nullptr},
    {6, Suicide::never, nullptr, &kShot, false, "Micro Uzi", nullptr},
    {7, Suicide::never, nullptr, &kShot, false, "M3A1", nullptr},
    {8, Suicide::never, nullptr, &kShot, false, "MP5", nullptr},
    {9, Suicide::never, nullptr, &kPumped, false, "USAS-12", nullptr},
    {10, Suicide::never, nullptr, &kShot, false, "M4", nullptr},
    {11, Suicide::never, nullptr, &kShot, false, "AK74", nullptr},
    {12, Suicide::never, nullptr, &kShot, false, "Sig 551", nullptr},
    {13, Suicide::never, nullptr, &kSniped, false, "MSG90A1", nullptr},
    {14, Suicide::never, nullptr, &kShot, false, "M60", nullptr},
    {18, Suicide::self, &kBlewUp, &kDetonated, false, "SMOHG92", nullptr},
    {19, Suicide::self, &kBlewUp, &kDetonated, false, "ANM14", nullptr},
    {24, Suicide::always, &kFell, nullptr, false, nullptr, nullptr},
    {25, Suicide::always, &kKilledHimself, nullptr, false, nullptr, nullptr},
    {29, Suicide::always, &kWrongPlace, nullptr, false, nullptr, nullptr},
    {101, Suicide::self, &kBlewUp, &kDetonated, false, "M203", nullptr},
    {103, Suicide::never, nullptr, &kSniped, false, "", &kStatsSniper},
    {104, Suicide::never, nullptr, &kPumped, false, "", &kStatsShotgun},
    {105, Suicide::self, &kBlewUp, &kDetonated, false, "", &kStatsExplosive},
    {106, Suicide::self, &kBlewUp, &kDetonated, false, "", &kStatsExplosive},
    {107, Suicide::never, nullptr, &kBludgeoned, true, "", &kStatsBlow},
    {108, Suicide::never, nullptr, &kStabbed, false, "", &kStatsBlade},
};

// The event is dropped: nothing but fragcount changes.
constexpr int kIgnoredWeapon = 26;

const WeaponRow* weapon_row(int weapon)
{
    for (const WeaponRow& w : kWeapons)
        if (w.weapon == weapon)
            return &w;
    return nullptr;
}

const char* shown(const char* s)
{
    return s ? s : "(null)";
}

// One side of a kill: the record (null for the world), its display name and colour.
struct Side {
    int id = 0;
    int slot = -1;
    PlayerRecord* rec = nullptr;
    int team = kTeamUnknown;
    int colour = 0;
    Text copy;                // colour-free name in teammode
    const char* name = nullptr;
};

// Red or blue: a team that plays for a side.
bool on_a_side(int team)
{
    return team == kTeamRed || team == kTeamBlue;
}

int display_colour(const Relay& r, int team, int current)
{
    if (team == kTeamRed)
        return r.colours.redteamcolor;
    if (team == kTeamBlue)
        return r.colours.blueteamcolor;
    return current;
}

// Looks a side up; false when the id is not in the table.
bool look_up(Relay& r, Side& s, int id)
{
    s.id = id;
    s.colour = r.colours.unknownteamcolor;
    if (id == kWorldId)
        return true;
    s.slot = find_player(r, id);
    if (s.slot < 0) {
        trace(r, 11, "Unknown player id[%d]\r\n", id);
        return false;
    }
    s.rec = &r.players.slots[s.slot];
    s.team = s.rec->team;
    if (r.settings.teammode) {
        if (s.rec->name)
            s.copy = strip_colours(r.settings.osp, s.rec->name->c_str());
        s.name = cstr(s.copy);
        trace(r, 11, "akbid %s by team %d\r\n", shown(s.name), s.team);
        s.colour = display_colour(r, s.team, s.colour);
    } else {
        s.name = cstr(s.rec->name);
    }
    return true;
}

void tk_trace(Relay& r, const Side& k, const Side& v, int ktp, int vtp, const char* what)
{
    trace(r, 11, "tk handling: p1=%d p2=%d t1=%d p1.tp=%d t2=%d p2.tp=%d%s\r\n", k.slot, v.slot, k.team, ktp,
          v.team, vtp, what);
}

// A side whose suspicion count reached 2 is taken to be on the other team.
void convert_team(Relay& r, Side& s)
{
    s.rec->tp = 0;
    s.rec->team = s.rec->team == kTeamRed ? kTeamBlue : kTeamRed;
    s.team = s.rec->team;
    s.colour = display_colour(r, s.team, s.colour);
}

// Same-team kills without clan tags may come from a wrongly guessed team: the
// tp counts collect that suspicion and move a player over when it repeats.
void team_kill_suspicion(Relay& r, Side& k, Side& v)
{
    if (k.rec && v.rec && on_a_side(k.team) && k.team == v.team && !r.settings.useclantags) {
        const int ktp = k.rec->tp;
        const int vtp = v.rec->tp;
        tk_trace(r, k, v, ktp, vtp, "");
        if (ktp == 0 && vtp == 0) {
            k.rec->tp = 1;
            v.rec->tp = 1;
            tk_trace(r, k, v, ktp, vtp, " inc tp p1+p2");
        } else if (ktp == 0) {
            v.rec->tp += 1;
            tk_trace(r, k, v, ktp, vtp, " inc tp p2");
            if (v.rec->tp >= 2) {
                tk_trace(r, k, v, ktp, vtp, " convert team p2");
                convert_team(r, v);
            }
        } else if (vtp != 0) {
            k.rec->tp -= 1;
            v.rec->tp -= 1;
            tk_trace(r, k, v, ktp, vtp, " decr p1+p2");
        } else {
            k.rec->tp += 1;
            tk_trace(r, k, v, ktp, vtp, " inc tp p1");
            if (k.rec->tp >= 2) {
                tk_trace(r, k, v, ktp, vtp, " convert team p1");
                convert_team(r, k);
            }
        }
        return;
    }
    // The world has no record (and no team), but its victims' counts are reset too.
    if (k.rec && on_a_side(k.team) && on_a_side(v.team))
        k.rec->tp = 0;
    if (v.rec && on_a_side(v.team))
        v.rec->tp = 0;
}

} // namespace

std::string weapon_name(int weapon, int langout)
{
    const WeaponRow* w = weapon_row(weapon);
    if (w && w->name && w->name[0])
        return w->name;
    if (w && w->statsname)
        return (*w->statsname)[langout];
    LineBuf b;
    b.addf(kStatsOther[langout], weapon);
    return b.c_str();
}

void count_kill(Relay& r, int killer, int victim, int weapon, const char* clocktext, int kind)
{
    r.game.fragcount += 1;
    if (weapon == kIgnoredWeapon)
        return;

    Side k;
    Side v;
    if (!look_up(r, k, killer) || !look_up(r, v, victim))
        return;
    trace(r, 11, "bid %s by team %d killed %s by team %d\r\n", shown(k.name), k.team, shown(v.name), v.team);

    // A missing team is guessed from the opponent's (never for the world).
    if (k.rec && v.rec && (k.team == kTeamUnknown) != (v.team == kTeamUnknown)) {
        Side& known = k.team != kTeamUnknown ? k : v;
        Side& unknown = k.team != kTeamUnknown ? v : k;
        const int team = known.team == kTeamRed ? kTeamBlue : kTeamRed;
        set_player_team(r, unknown.id, team);
        unknown.team = team;
        unknown.colour = display_colour(r, team, unknown.colour);
    }

    team_kill_suspicion(r, k, v);

    // The words and the counters.
    const int lang = r.settings.langout;
    const WeaponRow* w = weapon_row(weapon);
    bool suicide = false;
    if (w) {
        switch (w->suicide) {
        case Suicide::never:
            break;
        case Suicide::always:
            suicide = true;
            break;
        case Suicide::self:
            suicide = killer == victim;
            break;
        case Suicide::world_or_self:
            suicide = killer == victim || killer == kWorldId;
            break;
        }
    }

    const char* phrase = nullptr;
    LineBuf text;
    if (suicide) {
        text.add((*w->suicidetext)[lang]);
        if (v.rec)
            v.rec->suicides += 1;
        ++r.kills.suicidestotal;
        if (r.kills.kill_hook)
            r.kills.kill_hook(r, kStatsSuicideKind, nullptr, v.rec, weapon, k.team, v.team);
    } else {
        if (!w)
            phrase = kShot[lang];
        else if (kind == kKillBlow && !w->fixedphrase)
            phrase = kBludgeoned[lang];
        else
            phrase = (*w->phrase)[lang];
        if (!w)
            text.add(kUnsupported[lang])
                .addf(" [weapon #%d, p1=%d, p2=%d on line %d]", weapon, killer, victim,
                      static_cast<int>(r.log.linesread));
        else if (w->name[0])
            text.add(kWeaponLead[lang]).add(w->name);

        if (on_a_side(k.team) && k.team == v.team) {
            ++r.kills.teamkillstotal;
            if (k.rec)
                k.rec->teamkills += 1;
            if (v.rec)
                v.rec->teamkilled += 1;
            if (r.kills.kill_hook)
                r.kills.kill_hook(r, kStatsTeamKillKind, k.rec, v.rec, weapon, k.team, v.team);
        } else {
            ++r.kills.killstotal;
            if (k.rec)
                k.rec->kills += 1;
            if (v.rec)
                v.rec->deaths += 1;
            if (r.kills.kill_hook)
                r.kills.kill_hook(r, kStatsKillKind, k.rec, v.rec, weapon, k.team, v.team);
        }
        if (k.rec && v.rec)
            r.kills.weaponkills[weapon] += 1;
    }

    if (r.settings.showfrags)
        send_line(r, clocktext, k.colour, k.name, r.colours.default_.c_str(), phrase, v.colour, v.name,
                  r.colours.default_.c_str(), text.c_str(), killer, victim);
}
