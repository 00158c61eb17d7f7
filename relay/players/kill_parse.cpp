// Console death messages: "<victim> was shot by <killer>'s M4" and the like, in
// English or German, turned into names, a kind and a weapon number.
#include "relay/players/kill_parse.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "relay/base/lang.h"
#include "relay/base/phrase_scan.h"
#include "relay/relay.h"
#include "relay/players/table.h"
#include "relay/base/text.h"
#include "relay/base/trace.h"
#include "relay/players/kill_count.h"
#include "relay/players/register.h"

namespace {

struct Suffix {
    const char* name;
    int weapon;
};

constexpr Suffix kSetA[] = {{"Micro Uzi", 6}, {"M3A1", 7},      {"Sig 551", 12}, {"Silver Talon", 4},
                            {"M1911A1", 2},   {"US SOCOM", 3},  {"M4", 10},      {"MP5", 8},
                            {"AK74", 11},     {"M60", 14}};
constexpr Suffix kSetB[] = {{"M203", 101}, {"SMOHG92", 18}, {"ANM14", 19}};
constexpr Suffix kSetC[] = {{"M590", 5}, {"USAS-12", 9}};
constexpr Suffix kSetD[] = {{"Micro Uzi", 6}, {"M3A1", 7},   {"Sig 551", 12}, {"Silver Talon", 4},
                            {"M1911A1", 2},   {"US SOCOM", 3}, {"M4", 10},    {"M60", 14},
                            {"MP5", 8},       {"AK74", 11},  {"M590", 5},     {"USAS-12", 9}};
constexpr Suffix kSetE[] = {{"MSG90A1", 13}};

struct SuffixSet {
    const Suffix* begin;
    const Suffix* end;
};
constexpr SuffixSet kNone = {nullptr, nullptr};
constexpr SuffixSet kA = {std::begin(kSetA), std::end(kSetA)};
constexpr SuffixSet kB = {std::begin(kSetB), std::end(kSetB)};
constexpr SuffixSet kC = {std::begin(kSetC), std::end(kSetC)};
constexpr SuffixSet kD = {std::begin(kSetD), std::end(kSetD)};
constexpr SuffixSet kE = {std::begin(kSetE), std::end(kSetE)};

// What the weapon name follows, by log language.
constexpr LangText kSuffixLead = log_text("'s ", " - ");

enum class Row { rename, kill, alone };

struct DeathMessage {
    LangText text; // by log language
    int kind;
    SuffixSet suffixes;
    int weapon; // when no suffix matches
    Row row;
};

// Tested in this order; the first phrase found in the line wins. German uses one
// phrase for stabbing and slicing, so German slicings count as stabbings.
constexpr DeathMessage kDeathMessages[] = {
    {log_text(" renamed to ", " hat sich unbenannt in "), kEventRename, kNone, -1, Row::rename},
    {log_text(" was shot by ", " wurde erschossen von "), kKillOrdinary, kA, 0, Row::kill},
    {log_text(" was detonated by ", " wurde gesprengt durch "), kKillOrdinary, kB, 105, Row::kill},
    {log_text(" was pumped full of lead by ", " wurde vollgepumpt von "), kKillOrdinary, kC, 104, Row::kill},
    {log_text(" was stabbed by ", " wurde erstochen von "), kKillOrdinary, kNone, 1, Row::kill},
    {log_text(" was sliced by ", " wurde erstochen von "), kKillOrdinary, kNone, 108, Row::kill},
    {log_text(" was bludgeoned by ", " wurde zerschlagen von "), kKillBlow, kD, 107, Row::kill},
    {log_text(" was sniped by ", " wurde gesniped von "), kKillOrdinary, kE, 103, Row::kill},
    {log_text(" was in the wrong place.", " war am Falschen Platz."), kKillSelfOrWorld, kNone, 29, Row::alone},
    {log_text(" blew himself up.", " hat sich selbst gesprengt."), kKillSelfOrWorld, kNone, 106, Row::alone},
    {log_text(" killed himself.", " t\366tete sich selbst."), kKillSelfOrWorld, kNone, 25, Row::alone},
    {log_text(" fell to his death.", " str\374zte sich zu Tode.."), kKillSelfOrWorld, kNone, 24, Row::alone},
};

static_assert(std::size(kDeathMessages) == kDeathPhraseCount);

// Length of the longest name of a known player that text starts with, followed by
// a blank; 0 for none. A death phrase inside that name is part of the name.
std::size_t known_name_length(const Relay& r, const std::string& text)
{
    std::size_t best = 0;
    for (int i = 0; i < r.players.playercount; ++i) {
        const PlayerRecord& p = r.players.slots[i];
        if (p.id == -1 || !p.name || p.name->size() <= best || p.name->size() >= text.size())
            continue;
        if (text[p.name->size()] == ' ' && text.compare(0, p.name->size(), *p.name) == 0)
            best = p.name->size();
    }
    return best;
}

// The line closes a name with "^7" where its colour-free text is n characters long.
bool closed_at(const char* line, std::size_t n, int osp)
{
    std::string plain;
    for (const char* at = std::strstr(line, "^7"); at; at = std::strstr(at + 2, "^7")) {
        strip_colours(osp, std::string_view(line, static_cast<std::size_t>(at - line)), plain);
        if (plain.size() >= n)
            return plain.size() == n;
    }
    return false;
}

// The place of the weapon suffix, lead and name: the one that ends rest when there
// is one (a killer's name may hold a suffix of its own), else the first. leads
// holds every place of the lead in rest, in order; a suffix can start nowhere else.
const char* find_suffix(std::string_view rest, std::string_view lead, const char* name,
                        const std::vector<const char*>& leads)
{
    const std::size_t namelen = std::strlen(name);
    const std::size_t n = lead.size() + namelen;
    if (rest.size() >= n && rest.compare(rest.size() - n, lead.size(), lead) == 0 &&
        rest.compare(rest.size() - namelen, namelen, name) == 0)
        return rest.data() + rest.size() - n;
    for (const char* at : leads)
        if (std::strncmp(at + lead.size(), name, namelen) == 0)
            return at;
    return nullptr;
}

// The death phrases of one log language, searched in one pass.
PhraseSet make_death_phrases(int lang)
{
    PhraseSet s;
    for (int i = 0; i < kDeathPhraseCount; ++i)
        s.add(death_phrase(lang, i));
    return s;
}

const PhraseSet& death_phrases(int lang)
{
    static const PhraseSet sets[2] = {make_death_phrases(kLangEnglish), make_death_phrases(kLangGerman)};
    return sets[lang == kLangGerman ? 1 : 0];
}

} // namespace

const char* death_phrase(int lang, int i)
{
    return kDeathMessages[i].text[lang == kLangGerman ? kLangGerman : kLangEnglish];
}

unsigned death_phrases_written(const PhraseHits& hits, int first)
{
    unsigned written = 0;
    for (int i = 0; i < kDeathPhraseCount; ++i)
        written |= hits.first[first + i] ? 1u << i : 0u;
    return written;
}

int parse_kill_text(Relay& r, const char* line)
{
    if (!line)
        return 0;
    PhraseHits hits;
    death_phrases(r.settings.langin).scan(line, hits);
    return parse_kill_text(r, line, death_phrases_written(hits, 0));
}

int parse_kill_text(Relay& r, const char* line, unsigned written)
{
    written &= (1u << kDeathPhraseCount) - 1;
    // Most lines hold no death phrase at all: they are passed over before the
    // line is copied or the names of the table are looked at.
    if (!line || (!written && !tracing(r, 11)))
        return 0;
    // The colour-free line goes into a buffer that keeps its room from line to
    // line. Nothing below reads another console line before the names are copied.
    static thread_local std::string copy;
    strip_colours(r.settings.osp, std::string_view(line), copy);
    // A line break left at the end would become part of the last name (and cut
    // the kill line short on IRC).
    while (!copy.empty() && (copy.back() == '\r' || copy.back() == '\n'))
        copy.pop_back();
    trace(r, 11, "psa: %s\r\n", copy.c_str());
    if (copy.empty() || !written)
        return 0;
    const int lang = r.settings.langin;

    // The first row whose phrase follows the victim's name wins. A death phrase
    // inside a known player's name at the start does not count, nor one that only
    // the colour codes of a name put together.
    const char* s = copy.c_str();
    const std::size_t known = known_name_length(r, copy);
    const DeathMessage* row = nullptr;
    const char* at = nullptr;
    auto find_row = [&](const char* from) {
        for (std::size_t i = 0; i < std::size(kDeathMessages) && !row; ++i)
            if (written & (1u << i) && (at = std::strstr(from, kDeathMessages[i].text[lang])))
                row = &kDeathMessages[i];
    };
    find_row(s + known);
    // The known name is one reading of the line's start ("Bob was" of "Bob^7 was
    // shot by ..."). When no death phrase follows it and the game did not close
    // that name with "^7", the line is read from its start like any other.
    if (!row && known > 0 && !closed_at(line, known, r.settings.osp))
        find_row(s);
    if (!row)
        return 0;
    trace(r, 11, "kill %s\r\n", row->text[kLangEnglish]);

    const std::string victim(s, static_cast<std::size_t>(at - s));
    const char* rest = at + std::strlen(row->text[lang]);
    switch (row->row) {
    case Row::rename:
        named_player_event(r, victim.c_str(), rest, kEventRename, -1);
        break;
    case Row::alone:
        named_player_event(r, victim.c_str(), victim.c_str(), row->kind, row->weapon);
        break;
    case Row::kill: {
        std::string killer = rest;
        int weapon = row->weapon;
        const std::string_view restv = rest;
        const std::string_view lead = kSuffixLead[lang];
        static thread_local std::vector<const char*> leads;
        leads.clear();
        for (const char* at = std::strstr(rest, lead.data()); at; at = std::strstr(at + 1, lead.data()))
            leads.push_back(at);
        for (const Suffix* x = row->suffixes.begin; x != row->suffixes.end && !leads.empty(); ++x) {
            const char* found = find_suffix(restv, lead, x->name, leads);
            if (found) {
                killer.assign(rest, static_cast<std::size_t>(found - rest));
                weapon = x->weapon;
                break;
            }
        }
        named_player_event(r, victim.c_str(), killer.c_str(), row->kind, weapon);
        break;
    }
    }
    return 2;
}
