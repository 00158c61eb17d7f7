#include "bench/loggen/log_generator.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

// splitmix64: small, fast and the same on every platform (the standard library's
// distributions are not).
struct Rng {
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    template <std::size_t N>
    const char* pick(const char* const (&a)[N]) { return a[below(static_cast<int>(N))]; }
};

constexpr const char* kNameParts[] = {"Viper", "Ghost", "Raven", "Blade", "Nova", "Hawk", "Frost", "Jinx",
                                      "Rook", "Mamba", "Echo", "Tank", "Ace", "Kilo", "Spud", "Wolf"};
constexpr const char* kColours[] = {"^1", "^2", "^3", "^4", "^5", "^6", "^7", ""};
constexpr const char* kClans[] = {"", "", "", "[ABC]", "=TW=", "{NL}", "|DE|"};

constexpr const char* kShot[] = {"Micro Uzi", "M3A1", "Sig 551", "Silver Talon", "M1911A1", "US SOCOM",
                                 "M4", "MP5", "AK74", "M60"};
constexpr const char* kDetonated[] = {"M203", "SMOHG92", "ANM14"};
constexpr const char* kPumped[] = {"M590", "USAS-12"};
constexpr const char* kAlone[] = {" was in the wrong place.", " blew himself up.", " killed himself.",
                                  " fell to his death."};
constexpr const char* kChat[] = {"nice shot", "lol", "gg", "rush B", "who has the flag?", "^3wow^2 ok",
                                 "cover me", "brb", "noob", "defend the base!"};
constexpr const char* kObjectives[] = {" has taken the Red Flag!", " has dropped the Red Flag!",
                                       " has taken the Blue Flag!", " has dropped the Blue Flag!",
                                       " has captured the Blue Flag!", " has captured the Red Flag!",
                                       " has taken the briefcase!", " has planted the bomb!"};
constexpr const char* kConsoleFiller[] = {
    "Sending heartbeat to sof2master.ravensoft.com",
    "Hitch warning: 523 msec frame time",
    "ClientBegin: 3",
    "broadcast: print \"Server: timelimit changed to 20\\n\"",
    "----- Server Initialization -----",
    "------- Game Initialization -------",
    "gamename: sof2mp",
    "gamedate: Jun 17 2003",
    "Loading map: mp_shop",
    "5 teams with 0 entities",
    "Resolving sof2master.ravensoft.com",
    "sof2master.ravensoft.com resolved to 64.57.13.11:20110",
    "WARNING: Could not find sound/ambience/birds01.wav",
    "Item: 3 weapon_m4",
    "ShutdownGame:",
    "]status",
    "map: mp_shop",
    "num score ping name            lastmsg address               qport rate",
};
constexpr const char* kMaps[] = {"mp_shop", "mp_kam2", "mp_jor1", "mp_col1", "mp_hos1", "mp_air3"};
constexpr const char* kTypes[] = {"ctf", "inf", "dem", "tdm", "dm"};

struct Player {
    std::string name; // with colour codes
    bool present = false;
};

class Generator {
public:
    explicit Generator(const LogGenOptions& o) : o_(o), rng_{o.seed}
    {
        const int n = o.players < 2 ? 2 : o.players;
        for (int i = 0; i < n; ++i) {
            std::string name = rng_.pick(kClans);
            name += rng_.pick(kColours);
            name += kNameParts[i % 16];
            if (i >= 16)
                name += std::to_string(i / 16);
            name += "^7";
            players_.push_back({name, false});
        }
    }

    // One more line (without LF) in out.
    void line(std::string& out)
    {
        out.clear();
        if (o_.server)
            server_line(out);
        else
            console_line(out);
    }

private:
    int present_player()
    {
        for (int tries = 0; tries < 8; ++tries) {
            int i = rng_.below(static_cast<int>(players_.size()));
            if (players_[i].present)
                return i;
        }
        return -1;
    }

    // Players come and go; most lines are about those who are there.
    bool arrival_or_departure(std::string& out, bool server)
    {
        int i = rng_.below(static_cast<int>(players_.size()));
        Player& p = players_[i];
        if (!p.present) {
            p.present = true;
            if (server) {
                stamp(out);
                out += "ClientConnect: " + std::to_string(i) + "\n";
                stamp(out);
                out += "ClientUserinfoChanged: " + std::to_string(i) + " n\\" + p.name + "\\t\\" +
                       std::to_string(1 + rng_.below(2)) + "\\model\\sof2/aliens";
                return true;
            }
            out += p.name + (rng_.below(3) == 0 ? " is connecting..." : rng_.below(2) ? " joined the red team." : " joined the blue team.");
            return true;
        }
        if (rng_.below(4) != 0)
            return false;
        p.present = false;
        if (server) {
            stamp(out);
            out += "ClientDisconnect: " + std::to_string(i);
        } else {
            out += p.name + (rng_.below(5) == 0 ? " timed out" : " disconnected");
        }
        return true;
    }

    void console_line(std::string& out)
    {
        ++count_;
        if (count_ % 5000 == 0) {
            out = "RE_Shutdown( 0 )";
            return;
        }
        int roll = rng_.below(100);
        if (roll < 4 && arrival_or_departure(out, false))
            return;
        int a = present_player();
        int b = present_player();
        if (a < 0 || b < 0 || a == b || roll >= 50) {
            if (roll < 62 && a >= 0) {
                const char* mark = rng_.below(6) == 0 ? "^4(" : rng_.below(2) ? "^1" : "^4";
                out += mark;
                out += players_[a].name;
                out += ": ^2";
                out += rng_.pick(kChat);
                return;
            }
            if (roll < 65 && a >= 0) {
                out += players_[a].name;
                out += rng_.pick(kObjectives);
                return;
            }
            out += rng_.pick(kConsoleFiller);
            return;
        }
        const std::string& victim = players_[a].name;
        const std::string& killer = players_[b].name;
        int kind = rng_.below(20);
        if (kind < 10)
            out += victim + " was shot by " + killer + "'s " + rng_.pick(kShot);
        else if (kind < 12)
            out += victim + " was detonated by " + killer + "'s " + rng_.pick(kDetonated);
        else if (kind < 14)
            out += victim + " was pumped full of lead by " + killer + "'s " + rng_.pick(kPumped);
        else if (kind < 15)
            out += victim + " was stabbed by " + killer;
        else if (kind < 16)
            out += victim + " was sniped by " + killer + "'s MSG90A1";
        else if (kind < 17)
            out += victim + " was bludgeoned by " + killer + "'s M4";
        else
            out += victim + rng_.pick(kAlone);
    }

    void stamp(std::string& out)
    {
        long long t = count_ / 4;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%3lld:%02lld ", (t / 60) % 1000, t % 60);
        out += buf;
    }

    void server_line(std::string& out)
    {
        ++count_;
        if (count_ % 5000 == 1) {
            stamp(out);
            out += "InitGame: \\sv_hostname\\Tidewatch test\\mapname\\";
            out += rng_.pick(kMaps);
            out += "\\g_gametype\\";
            out += rng_.pick(kTypes);
            out += "\\timelimit\\20\\scorelimit\\10";
            return;
        }
        if (count_ % 5000 == 0) {
            stamp(out);
            out += rng_.below(2) ? "Exit: Timelimit hit." : "Exit: Red team hit the score limit.";
            return;
        }
        int roll = rng_.below(100);
        if (roll < 4 && arrival_or_departure(out, true))
            return;
        int a = present_player();
        int b = present_player();
        stamp(out);
        if (a >= 0 && b >= 0 && roll < 45) {
            char buf[64];
            int weapon = 1 + rng_.below(30);
            std::snprintf(buf, sizeof buf, "Kill: %d %d %d: ", b, a, weapon);
            out += buf;
            out += players_[b].name + " killed " + players_[a].name + " by MOD_M4";
        } else if (a >= 0 && roll < 55) {
            out += "say: " + players_[a].name + ": " + rng_.pick(kChat);
        } else if (a >= 0 && roll < 58) {
            out += "Item: " + std::to_string(a) + (rng_.below(2) ? " team_CTF_redflag" : " team_CTF_blueflag");
        } else if (a >= 0 && roll < 70) {
            out += "score: " + std::to_string(rng_.below(40) - 5) + "  ping: " + std::to_string(20 + rng_.below(200)) +
                   "  client: " + std::to_string(a) + " " + players_[a].name;
        } else if (roll < 72) {
            out += "red:" + std::to_string(rng_.below(10)) + "  blue:" + std::to_string(rng_.below(10));
        } else if (a >= 0 && roll < 80) {
            out += "Item: " + std::to_string(a) + " weapon_m4";
        } else if (a >= 0 && roll < 82) {
            out += "ClientBegin: " + std::to_string(a);
        } else {
            out += "------------------------------------------------------------";
        }
    }

    LogGenOptions o_;
    Rng rng_;
    std::vector<Player> players_;
    long long count_ = 0;
};

} // namespace

void generate_log(const LogGenOptions& o, const std::function<void(const char*, std::size_t)>& sink)
{
    Generator g(o);
    std::string chunk;
    std::string one;
    long long made = 0;
    while (made < o.lines) {
        g.line(one);
        // A line may hold two (a connect and its user info): count each.
        std::size_t start = 0;
        for (std::size_t nl; made < o.lines; start = nl + 1) {
            nl = one.find('\n', start);
            chunk.append(one, start, nl == std::string::npos ? std::string::npos : nl - start);
            chunk += '\n';
            ++made;
            if (nl == std::string::npos)
                break;
        }
        if (chunk.size() > 60000) {
            sink(chunk.data(), chunk.size());
            chunk.clear();
        }
    }
    if (!chunk.empty())
        sink(chunk.data(), chunk.size());
}

std::string generate_log_text(const LogGenOptions& o)
{
    std::string all;
    generate_log(o, [&](const char* p, std::size_t n) { all.append(p, n); });
    return all;
}

bool generate_log_file(const LogGenOptions& o, const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = true;
    generate_log(o, [&](const char* p, std::size_t n) { ok = ok && std::fwrite(p, 1, n, f) == n; });
    return std::fclose(f) == 0 && ok;
}
