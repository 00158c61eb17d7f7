#include "relay/irc/line_split.h"

#include <algorithm>

#include "relay/base/charset.h"

namespace {

constexpr char kColourChar = 3;

bool digit(char c)
{
    return c >= '0' && c <= '9';
}

// The end of the colour code that starts with the colour character at i.
std::size_t colour_code_end(std::string_view t, std::size_t i)
{
    std::size_t j = i + 1;
    for (int k = 0; k < 2 && j < t.size() && digit(t[j]); ++k)
        ++j;
    if (j > i + 1 && j + 1 < t.size() && t[j] == ',' && digit(t[j + 1])) {
        ++j;
        for (int k = 0; k < 2 && j < t.size() && digit(t[j]); ++k)
            ++j;
    }
    return j;
}

// The latest cut at or before limit (from) that falls outside every colour code.
std::size_t safe_cut(std::string_view t, std::size_t from, std::size_t limit)
{
    std::size_t cut = limit;
    // A code is at most six bytes long: only those starting just before may span it.
    for (std::size_t i = cut > 6 ? cut - 6 : 0; i < cut; ++i)
        if (t[i] == kColourChar && colour_code_end(t, i) > cut) {
            cut = i;
            break;
        }
    return cut > from ? cut : limit;
}

bool style_char(char c)
{
    return c == 0x02 || c == 0x16 || c == 0x1f;
}

} // namespace

std::string leading_style(std::string_view text)
{
    if (text.empty() || text[0] != ':')
        return {};
    std::size_t i = 1;
    if (i < text.size() && text[i] == kColourChar)
        i = colour_code_end(text, i);
    while (i < text.size() && style_char(text[i]))
        ++i;
    return std::string(text.substr(1, i - 1));
}

std::vector<std::string> split_trailing(std::string_view text, std::size_t room)
{
    const std::string head = ":" + leading_style(text);
    // A part should carry at least this much text beyond its style.
    constexpr std::size_t kLeast = 32;
    if (text.size() <= room || room < head.size() + kLeast)
        return {std::string(text)};

    const bool utf8 = utf8_valid(text);
    std::vector<std::string> parts;
    std::size_t pos = 0; // start of the rest of the text
    std::string prefix;  // what the current part starts with
    for (;;) {
        const std::size_t avail = room - prefix.size();
        if (text.size() - pos <= avail) {
            parts.push_back(prefix + std::string(text.substr(pos)));
            return parts;
        }
        const std::size_t limit = pos + avail;
        // Never cut inside the first part's own style.
        const std::size_t least = pos + (parts.empty() ? head.size() : 0);
        // A blank is taken when the part keeps at least half its room, and when
        // cutting there does not cost a part more than cutting at the limit would.
        std::size_t hard = safe_cut(text, least, limit);
        // UTF-8 text is cut between characters: a server that takes only UTF-8
        // refuses a part that ends or starts inside one.
        if (utf8 && hard > least)
            hard -= std::min(hard - least - 1, utf8_torn_tail(text.substr(0, hard)));
        std::size_t cut = text.rfind(' ', limit);
        std::size_t next;
        const bool rest_fits_hard = text.size() - hard + head.size() <= room;
        if (cut != std::string_view::npos && cut > least && cut - pos >= avail / 2 &&
            (text.size() - (cut + 1) + head.size() <= room || !rest_fits_hard)) {
            next = cut + 1;
        } else {
            cut = hard;
            next = cut;
        }
        parts.push_back(prefix + std::string(text.substr(pos, cut - pos)));
        pos = next;
        prefix = head;
    }
}
