#include "relay/config/mapinfo.h"

#include <string>
#include <string_view>

#include "relay/base/lang.h"
#include "relay/relay.h"
#include "relay/base/teams.h"
#include "relay/base/phrases.h"
#include "relay/base/text.h"

namespace {

// The text between open and the following close tag inside block, or nothing
// when either tag is missing.
std::optional<std::string_view> element(std::string_view block, std::string_view open,
                                        std::string_view close)
{
    std::size_t start = block.find(open);
    if (start == std::string_view::npos)
        return std::nullopt;
    start += open.size();
    std::size_t end = block.find(close, start);
    if (end == std::string_view::npos)
        return std::nullopt;
    return block.substr(start, end - start);
}

// One colour's texts in the three languages: <langen>, <langde>, <langnl>.
void language_texts(std::string_view part, std::array<Text, 3>& texts)
{
    static constexpr std::string_view kOpen[3] = {"<langen>", "<langde>", "<langnl>"};
    static constexpr std::string_view kClose[3] = {"</langen>", "</langde>", "</langnl>"};
    for (int lang = 0; lang < 3; ++lang)
        if (auto t = element(part, kOpen[lang], kClose[lang]))
            texts[lang] = std::string(*t);
}

// A <taken> or <secured> set: absent when the element is missing.
std::optional<ObjectiveTexts> objective_set(std::string_view objective, std::string_view open,
                                            std::string_view close)
{
    auto set = element(objective, open, close);
    if (!set)
        return std::nullopt;
    ObjectiveTexts texts;
    if (auto red = element(*set, "<red>", "</red>"))
        language_texts(*red, texts.red);
    if (auto blue = element(*set, "<blue>", "</blue>"))
        language_texts(*blue, texts.blue);
    return texts;
}

// Parses one map block; false when a required element is missing.
bool parse_map_block(Relay& r, std::string_view block, MapInfo& map)
{
    auto name = element(block, "<name>", "</name>");
    if (!name)
        return false;
    map.name = std::string(*name);
    trace(r, 11, "map: %s\r\n", map.name.c_str());

    auto side = element(block, "<side>", "</side>");
    if (!side)
        return false;
    std::string sidetext(*side);
    if (safe_stricmp(sidetext.c_str(), "red") == 0)
        map.side = 0;
    else if (safe_stricmp(sidetext.c_str(), "blue") == 0)
        map.side = 1;
    else if (safe_stricmp(sidetext.c_str(), "both") == 0)
        map.side = -1;

    auto time = element(block, "<time>", "</time>");
    if (!time)
        return false;
    map.time = leading_int(std::string(*time).c_str());

    // An empty <objective /> anywhere switches the objective texts off.
    if (block.find("<objective />") == std::string_view::npos) {
        if (auto objective = element(block, "<objective>", "</objective>")) {
            map.taken = objective_set(*objective, "<taken>", "</taken>");
            map.secured = objective_set(*objective, "<secured>", "</secured>");
        }
    }
    trace(r, 11, "map ok\r\n");
    return true;
}

const MapInfo* find_map(const Relay& r)
{
    const char* current = cstr(r.game.map);
    if (!current)
        return nullptr;
    for (const MapInfo& m : r.maps.maps)
        if (safe_stricmp(m.name.c_str(), current) == 0)
            return &m;
    return nullptr;
}

} // namespace

int load_mapinfo(Relay& r, const char* path)
{
    r.maps.maps.clear();
    r.maps.mapsloaded = 0;

    std::string text;
    if (!path || !r.platform->read_file(path, text))
        return 0;
    // Line ends do not matter, and a NUL byte must not end the text early.
    for (char& ch : text)
        if (ch == '\r' || ch == '\n' || ch == '\0')
            ch = ' ';

    std::string_view all(text);
    std::size_t pos = all.find("<map>");
    while (pos != std::string_view::npos) {
        if (r.maps.mapsloaded >= kMaxMaps)
            break;
        std::size_t start = pos + 5;
        std::size_t end = all.find("</map>", start);
        if (end == std::string_view::npos)
            return 0; // an unfinished block ends the loading; earlier maps stay
        MapInfo map;
        if (parse_map_block(r, all.substr(start, end - start), map)) {
            r.maps.maps.push_back(std::move(map));
            r.maps.mapsloaded = static_cast<int>(r.maps.maps.size());
        }
        pos = all.find("<map>", end + 6);
    }
    return r.maps.mapsloaded;
}

int map_time(const Relay& r)
{
    const MapInfo* m = find_map(r);
    return m ? m->time : 0;
}

const char* objective_text(Relay& r, int team, int flag)
{
    if (!r.game.map)
        return nullptr;
    int gametype = r.game.gametype;
    if (gametype != kGameNone && gametype != kGameInf && gametype != kGameDem)
        return nullptr;

    trace(r, 11, "%d %d\r\n", team, flag);
    bool own = team == flag + 1;
    bool redflag = flag == 0;
    const int lang = lang_index(r.settings.langout);

    const MapInfo* m = find_map(r);
    if (!m)
        return phrase(own ? PH_OBJECTIVE_RETURNED : PH_OBJECTIVE_TAKEN, lang);

    const std::optional<ObjectiveTexts>* set;
    bool redtext;
    if (own) {
        trace(r, 11, "%d %d docsreturn\r\n", team, flag);
        set = &m->secured;
        redtext = redflag; // the flag's own colour
    } else {
        trace(r, 11, "%d %d docs\r\n", team, flag);
        set = &m->taken;
        redtext = !redflag; // the taker's colour: a blue flag taken gives the red text
    }
    if (!*set)
        return nullptr;
    const Text& t = redtext ? (*set)->red[lang] : (*set)->blue[lang];
    if (!t)
        return nullptr;
    trace(r, 11, redtext ? "B %s\r\n" : "R %s\r\n", t->c_str());
    return t->c_str();
}
